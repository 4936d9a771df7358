#pragma once

namespace quor {
namespace threading {

// Abstract lock. Results are the system's error numbers (0 on success).
class SMutexBase {
public:
    virtual ~SMutexBase() = default;
    virtual int Lock() = 0;
    virtual int Unlock() = 0;
};

}  // namespace threading
}  // namespace quor
