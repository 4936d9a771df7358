#pragma once
#include <cstdint>
#include <ctime>

namespace quor {
namespace threading {
class SMutexID;
}
namespace gui {

class SControl;

// Event type codes; each names one listener slot of a control. Codes 0, 1,
// 2, 4, 6 and 8 are valid slots that nothing issues.
enum : int32_t {
    EVENT_CONTROL = 3,
    EVENT_VALUE = 5,
    EVENT_MENU = 7,
    EVENT_TIMER = 9,
    EVENT_LIST = 10,
    EVENT_KEY = 11,
    EVENT_RESULT = 12,
};
constexpr int32_t EVENT_SLOTS = 13;

// Payload kinds of the dataType field.
enum : int32_t { EVENT_DATA_PARAM = 1, EVENT_DATA_POINTER = 4 };

// The record passed to listeners; plain data, filled by its sender.
struct SEvent {
    clock_t ticks = 0;      // processor clock when issued
    int32_t type = -1;      // EVENT_* code
    int32_t dataType = 0;   // EVENT_DATA_PARAM or EVENT_DATA_POINTER
    int32_t param = 0;
    float value = 0.0f;
    SControl* sender = nullptr;
    quor::threading::SMutexID* mutex = nullptr;  // not owned; locked around each listener call
    void* data = nullptr;                        // not owned; valid only during delivery
};

}  // namespace gui
}  // namespace quor
