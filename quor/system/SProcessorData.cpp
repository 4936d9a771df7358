#include "quor/system/SProcessorData.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cerrno>
#include <cstring>

namespace quor {
namespace system {

bool SProcessorData::QueryRegistry()
{
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fputs("Error: Reading /proc/cpuinfo failed (not found).", stderr);
        return false;
    }
    char text[ReadLimit + 1];
    ssize_t got;
    do {
        got = read(fd, text, ReadLimit);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got <= 0) {
        fputs("Error: Reading /proc/cpuinfo failed (no data).", stderr);
        return false;
    }
    text[got] = 0;
    // The file is text; a stray NUL must not hide what follows it.
    for (ssize_t i = 0; i < got; ++i)
        if (text[i] == 0) text[i] = ' ';
    if (strstr(text, "mmx")) features |= FeatureMMX;
    if (strstr(text, "sse")) features |= FeatureSSE;
    if (strstr(text, "sse2")) features |= FeatureSSE2;
    return true;
}

}  // namespace system
}  // namespace quor
