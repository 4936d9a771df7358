#pragma once
#include <pthread.h>

#include "quor/threading/SMutexBase.h"

namespace quor {
namespace threading {

// A non-recursive operating-system mutex.
class SMutexOS : public SMutexBase {
public:
    SMutexOS();
    ~SMutexOS() override;
    SMutexOS(const SMutexOS&) = delete;
    SMutexOS& operator=(const SMutexOS&) = delete;

    int Lock() override;
    int Unlock() override;

    bool IsValid() const { return valid; }

private:
    pthread_mutex_t mutex;
    bool locked;
    bool valid;
};

// Holds an SMutexOS for one scope.
class SMutexLock {
public:
    explicit SMutexLock(SMutexOS& m) : mutex(m) { mutex.Lock(); }
    ~SMutexLock() { mutex.Unlock(); }
    SMutexLock(const SMutexLock&) = delete;
    SMutexLock& operator=(const SMutexLock&) = delete;

private:
    SMutexOS& mutex;
};

}  // namespace threading
}  // namespace quor
