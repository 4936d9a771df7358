#include "plugin/SGlobals.h"

#include <x86intrin.h>

#include <cerrno>
#include <ctime>

SGlobals::SGlobals()
{
    // Two instances made back to back must not share names: the counter read
    // after a short sleep differs between them.
    (void)__rdtsc();
    timespec pause = {0, 3 * 1000 * 1000};
    while (nanosleep(&pause, &pause) == -1 && errno == EINTR) {
    }
    random.Seed(static_cast<uint32_t>(__rdtsc()));
}

SGlobals::~SGlobals() = default;
