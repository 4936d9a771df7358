#include "quor/threading/SMutexOS.h"

#include <cerrno>

namespace quor {
namespace threading {

SMutexOS::SMutexOS() : locked(false), valid(false)
{
    valid = pthread_mutex_init(&mutex, nullptr) == 0;
}

SMutexOS::~SMutexOS()
{
    if (locked) Unlock();
    if (valid) pthread_mutex_destroy(&mutex);
}

int SMutexOS::Lock()
{
    if (!valid) return EINVAL;
    int result = pthread_mutex_lock(&mutex);
    if (result != EINVAL && result != EDEADLK) locked = true;
    return result;
}

int SMutexOS::Unlock()
{
    if (!valid) return EINVAL;
    // Cleared before the unlock: once the mutex is free another thread may
    // take it and set the flag again.
    bool was = locked;
    locked = false;
    int result = pthread_mutex_unlock(&mutex);
    if (result == EPERM || result == EINVAL) locked = was;
    return result;
}

}  // namespace threading
}  // namespace quor
