#include "quor/threading/SMutexID.h"

#include <time.h>

namespace quor {
namespace threading {

SMutexID::~SMutexID()
{
    if (locked) {
        counter.fetch_sub(1);
        locked = false;
    }
}

int SMutexID::Lock()
{
    // Whoever sees no other increment outstanding holds the lock; a waiter
    // withdraws its increment while it yields so the holder can be seen alone.
    if (counter.fetch_add(1) > 0) {
        do {
            counter.fetch_sub(1);
            timespec none = {0, 0};
            nanosleep(&none, nullptr);
        } while (counter.fetch_add(1) > 0);
    }
    locked = true;
    return 0;
}

int SMutexID::Unlock()
{
    // Cleared before the release: the next holder sets it again.
    locked = false;
    counter.fetch_sub(1);
    return 0;
}

}  // namespace threading
}  // namespace quor
