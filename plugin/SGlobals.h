#pragma once
// Per-instance GUI resources handed to every control.

#include <X11/Xlib.h>

#include <cstdint>

#include "quor/data/datastring.h"
#include "quor/math/random/generator/SRandomMarsaglia.h"
#include "quor/threading/SMutexOS.h"

namespace quor {
namespace gui {
class SCursor;
}
}  // namespace quor

class SGlobals {
public:
    // Seeds the window-name generator from the time-stamp counter; takes
    // about 3 ms.
    SGlobals();
    ~SGlobals();
    SGlobals(const SGlobals&) = delete;
    SGlobals& operator=(const SGlobals&) = delete;

    // Changed only atomically: controls number their timers from it on
    // several threads.
    uint32_t NextIdentifier() { return __atomic_add_fetch(&identifier, 1u, __ATOMIC_RELAXED); }
    uint32_t TakeIdentifier() { return __atomic_exchange_n(&identifier, 0u, __ATOMIC_RELAXED); }

    uint32_t identifier = 0;
    quor::data::datastring<32, char> name;
    quor::data::datastring<32, char> directory;
    Window parentWindow = 0;
    quor::gui::SCursor* cursor = nullptr;
    quor::threading::SMutexOS lock;
    // Makes window names unique; used under `lock` or from the GUI thread.
    quor::math::random::generator::SRandomMarsaglia random;
};
