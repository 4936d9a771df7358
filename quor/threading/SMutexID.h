#pragma once
#include <atomic>

#include "quor/threading/SMutexBase.h"

namespace quor {
namespace threading {

// A spin lock on an atomic counter that yields while it waits. Not
// recursive: the holder must not lock it again.
class SMutexID : public SMutexBase {
public:
    SMutexID() : counter(0), locked(false) {}
    ~SMutexID() override;
    SMutexID(const SMutexID&) = delete;
    SMutexID& operator=(const SMutexID&) = delete;

    int Lock() override;
    int Unlock() override;

    bool IsLocked() const { return locked; }

private:
    std::atomic<int> counter;
    bool locked;  // written only by the holder
};

}  // namespace threading
}  // namespace quor
