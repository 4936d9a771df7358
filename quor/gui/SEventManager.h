#pragma once
// Who listens to a control's events: one handler per event type 0..12, each
// with its listeners in subscription order and a flag saying whether the
// control itself handles events of that type when it receives them.
// Type codes outside 0..12 are ignored by every operation.

#include <cstdint>
#include <vector>

#include "quor/gui/SEvent.h"

namespace quor {
namespace gui {

class SControl;

class SEventHandler {
public:
    SEventHandler() = default;
    virtual ~SEventHandler() = default;

    // Appends unless present.
    void RegisterControl(SControl* control);
    // Removes the first occurrence; later entries move up.
    void UnRegisterControl(SControl* control);

    std::vector<SControl*> listeners;
    int32_t type = -1;
    bool enabled = false;
};

class SEventManager {
public:
    SEventManager();
    virtual ~SEventManager() = default;

    void EnableHandler(int type);
    void DisableHandler(int type);
    bool EventHandled(int type) const;
    // Null outside 0..12.
    SEventHandler* GetEventHandler(int type);
    const SEventHandler* GetEventHandler(int type) const;
    // A null control is ignored.
    void EnableListener(SControl* control, int type);
    void DisableListener(SControl* control, int type);

private:
    static bool Valid(int type) { return type >= 0 && type < EVENT_SLOTS; }
    SEventHandler handlers[EVENT_SLOTS];
};

// Keys, text and mouse input sent to other applications: not used here.
void SendKey(int, char, bool);
void SendText(int, char*);
void SendMouse(int, int, int, int, int);

}  // namespace gui
}  // namespace quor
