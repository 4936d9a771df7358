#include "quor/gui/SWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "quor/gui/SAtoms.h"
#include "quor/gui/SEventDispatcher.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/threading/SThread.h"

namespace quor {
namespace gui {

namespace {

// How long the loop sleeps between looks at the unload flag.
constexpr int pollMs = 22;

}  // namespace

SWindow::SWindow() = default;

SWindow::SWindow(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w, int h, int pw,
                 bool flag)
    : SControl(g, p, i, n, s, x, y, w, h, pw, flag)
{
}

SWindow::~SWindow()
{
    SToolkitHold hold;
    destroying = true;
    CleanUp();
    DeleteChildren();
}

// Last added first, so that child windows go before their parent's.
void SWindow::DeleteChildren()
{
    while (!children.empty()) {
        SControl* child = children.back().control;
        children.pop_back();
        delete child;
    }
}

void SWindow::CleanRessources()
{
    SToolkitHold hold;
    destroying = true;
    if (!(style & (SCS_APPWINDOW | SCS_DIALOG))) return;
    CleanUp();
    DeleteChildren();
    Destroy();
}

void SWindow::Add(SControl* child)
{
    if (!child) return;
    style |= SCS_CHILDREN;
    int childId = static_cast<int>(child->GetId());
    children.push_back(SWindowID{child, child->GetId()});
    if (lowestId < 0 || childId < lowestId) lowestId = childId;
    if (highestId < 0 || childId > highestId) highestId = childId;
}

void SWindow::Remove(SControl* child, bool destroy)
{
    if (!child) return;
    auto it = std::find_if(children.begin(), children.end(),
                           [child](const SWindowID& e) { return e.id == child->GetId(); });
    if (it == children.end()) return;
    SControl* found = it->control;
    children.erase(it);
    if (destroy) delete found;
    if (children.empty()) style &= ~SCS_CHILDREN;
}

void SWindow::SetScale(int factor)
{
    SToolkitHold hold;
    SControl::SetScale(factor);
    for (const SWindowID& c : children) c.control->SetScale(scaleFactor);
}

bool SWindow::IsSubcontrol(unsigned i)
{
    if (i == id) return true;
    for (const SWindowID& c : children)
        if (c.control->IsSubcontrol(i)) return true;
    return false;
}

bool SWindow::IsSubcontrol(int w)
{
    Window target = static_cast<Window>(static_cast<unsigned>(w));
    if (target == window) return true;
    for (const SWindowID& c : children) {
        if (c.control->GetWindow() == target) return true;
        if (auto* sub = dynamic_cast<SWindow*>(c.control))
            if (sub->IsSubcontrol(w)) return true;
    }
    return false;
}

void SWindow::EnableChildren(bool enable)
{
    for (const SWindowID& c : children) c.control->Enable(enable);
}

void SWindow::Minimized()
{
    for (const SWindowID& c : children) c.control->Minimized();
}

void SWindow::UpdateModifiers(int, bool)
{
    if (!input) return;
    const int mask = input->keyState;
    input->state[MS_SHIFT] = mask & 0x1;
    input->state[MS_CONTROL] = mask & 0x4;
    input->state[MS_ALT] = mask & 0x8;
    for (const SWindowID& c : children) {
        context::SInput* in = c.control->GetInput();
        if (!in) continue;
        in->keyState = mask;
        in->state[MS_SHIFT] = input->state[MS_SHIFT];
        in->state[MS_CONTROL] = input->state[MS_CONTROL];
        in->state[MS_ALT] = input->state[MS_ALT];
    }
}

void SWindow::WindowClose() { running = false; }

void SWindow::WindowMinimize(bool normal)
{
    if (!xdisplay) return;
    Atom change = SAtoms::Existing(xdisplay, "WM_CHANGE_STATE");
    if (!change) return;
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.display = xdisplay;
    e.xclient.window = (parent && parent->GetWindow()) ? parent->GetWindow() : window;
    e.xclient.message_type = change;
    e.xclient.format = 32;
    e.xclient.data.l[0] = normal ? NormalState : IconicState;
    XSendEvent(xdisplay, DefaultRootWindow(xdisplay), False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(xdisplay);
}

void SWindow::WindowMaximize(bool maximize)
{
    if (maximize)
        flags &= ~SCF_RESTORED;
    else
        flags |= SCF_RESTORED;
}

void SWindow::Loop()
{
    SToolkitHold hold;
    running = true;
    Display* d = xdisplay;
    if (d && SEventDispatcher::Serving(d) && !SEventDispatcher::OnDispatchThread()) {
        // The dispatching thread reads this connection; a second reader
        // would race it for the events. It stops when the connection is
        // lost, and the loop with it.
        while (running && SEventDispatcher::Serving(d)) {
            SToolkitRelease release;
            quor::threading::ThreadSleep(5);
        }
    } else if (d) {
        // Nobody else reads it, or this is the dispatching thread itself,
        // which waiting would hang: the loop reads the events.
        ReadLoopEvents(d);
    }
    if (!(style & SCS_DIALOG)) CleanRessources();
}

void SWindow::ReadLoopEvents(Display* d)
{
    while (running && context::DisplayOpen(d)) {
        if (XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            SControl::eventProc(&e);
            continue;
        }
        if (!SEventDispatcher::WaitNested(d, pollMs)) break;
    }
}

}  // namespace gui
}  // namespace quor
