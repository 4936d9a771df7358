#include "quor/gui/SEventManager.h"

#include <algorithm>

namespace quor {
namespace gui {

void SEventHandler::RegisterControl(SControl* control)
{
    if (std::find(listeners.begin(), listeners.end(), control) == listeners.end()) listeners.push_back(control);
}

void SEventHandler::UnRegisterControl(SControl* control)
{
    auto it = std::find(listeners.begin(), listeners.end(), control);
    if (it != listeners.end()) listeners.erase(it);
}

SEventManager::SEventManager()
{
    for (int i = 0; i < EVENT_SLOTS; ++i) handlers[i].type = i;
}

void SEventManager::EnableHandler(int type)
{
    if (Valid(type)) handlers[type].enabled = true;
}

void SEventManager::DisableHandler(int type)
{
    if (Valid(type)) handlers[type].enabled = false;
}

bool SEventManager::EventHandled(int type) const { return Valid(type) && handlers[type].enabled; }

SEventHandler* SEventManager::GetEventHandler(int type) { return Valid(type) ? &handlers[type] : nullptr; }

const SEventHandler* SEventManager::GetEventHandler(int type) const
{
    return Valid(type) ? &handlers[type] : nullptr;
}

void SEventManager::EnableListener(SControl* control, int type)
{
    if (control && Valid(type)) handlers[type].RegisterControl(control);
}

void SEventManager::DisableListener(SControl* control, int type)
{
    if (control && Valid(type)) handlers[type].UnRegisterControl(control);
}

void SendKey(int, char, bool) {}
void SendText(int, char*) {}
void SendMouse(int, int, int, int, int) {}

}  // namespace gui
}  // namespace quor
