// The X event dispatcher of SControl: which control an event is for, and
// what each event type does to it.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <cinttypes>
#include <cstddef>
#include <cstdio>

#include "plugin/SGlobals.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SControl.h"
#include "quor/gui/SCursor.h"
#include "quor/gui/SDisplay.h"
#include "quor/gui/SToolTip.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SWindowRegistry.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/system/SSystemData.h"

namespace quor {
namespace gui {

namespace {

constexpr uint32_t doubleClickMs = 360;

struct KeyCode {
    int code;
    int keyClass;
};

// Keysym to the toolkit's key code and class.
KeyCode Translate(KeySym sym)
{
    switch (sym) {
    case XK_Return: case XK_KP_Enter: return {0, KEYCLASS_EDIT};
    case XK_Escape: return {1, KEYCLASS_EDIT};
    case XK_Tab: case XK_KP_Tab: return {2, KEYCLASS_EDIT};
    case XK_BackSpace: return {3, KEYCLASS_EDIT};
    case XK_Delete: case XK_KP_Delete: return {4, KEYCLASS_EDIT};
    case XK_Insert: case XK_KP_Insert: return {5, KEYCLASS_EDIT};
    case XK_Up: case XK_KP_Up: return {6, KEYCLASS_EDIT};
    case XK_Down: case XK_KP_Down: return {7, KEYCLASS_EDIT};
    case XK_Left: case XK_KP_Left: return {8, KEYCLASS_EDIT};
    case XK_Right: case XK_KP_Right: return {9, KEYCLASS_EDIT};
    case XK_Prior: case XK_KP_Prior: return {10, KEYCLASS_EDIT};
    case XK_Next: case XK_KP_Next: return {11, KEYCLASS_EDIT};
    case XK_Home: case XK_KP_Home: return {12, KEYCLASS_EDIT};
    case XK_End: case XK_KP_End: return {13, KEYCLASS_EDIT};
    case XK_Caps_Lock: return {14, KEYCLASS_EDIT};
    case XK_Print: return {15, KEYCLASS_EDIT};
    case XK_Pause: case XK_Break: return {16, KEYCLASS_EDIT};
    case XK_Shift_L: case XK_Shift_R: return {17, KEYCLASS_MODIFIER};
    case XK_Control_L: case XK_Control_R: return {18, KEYCLASS_MODIFIER};
    case XK_Alt_L: case XK_Alt_R: return {19, KEYCLASS_MODIFIER};
    case XK_KP_Multiply: return {'*', KEYCLASS_CHAR};
    case XK_KP_Add: return {'+', KEYCLASS_CHAR};
    case XK_KP_Separator: return {',', KEYCLASS_CHAR};
    case XK_KP_Subtract: return {'-', KEYCLASS_CHAR};
    case XK_KP_Decimal: return {'.', KEYCLASS_CHAR};
    case XK_KP_Divide: return {'/', KEYCLASS_CHAR};
    case XK_KP_Equal: return {'=', KEYCLASS_CHAR};
    case XK_KP_Space: return {' ', KEYCLASS_CHAR};
    default: break;
    }
    if (sym >= XK_KP_0 && sym <= XK_KP_9) return {static_cast<int>('0' + (sym - XK_KP_0)), KEYCLASS_CHAR};
    if ((sym >= XK_F1 && sym <= XK_F24) || (sym >= XK_KP_F1 && sym <= XK_KP_F4))
        return {static_cast<int>(sym), KEYCLASS_FUNCTION};
    return {static_cast<int>(sym), KEYCLASS_CHAR};
}

// The button flag of buttons 1, 2, 3 and its double-click flag.
int ButtonFlag(unsigned button)
{
    return button == 1 ? MS_LBUTTON : button == 2 ? MS_MBUTTON : MS_RBUTTON;
}

int DoubleFlag(unsigned button)
{
    return button == 1 ? MS_LDOUBLE : button == 2 ? MS_MDOUBLE : MS_RDOUBLE;
}

void ClearButtons(bool* s)
{
    s[MS_LBUTTON] = s[MS_RBUTTON] = s[MS_MBUTTON] = false;
}

void ClearDoubles(bool* s)
{
    s[MS_LDOUBLE] = s[MS_RDOUBLE] = s[MS_MDOUBLE] = false;
}

SCursor* CursorOf(SGlobals* g) { return g ? g->cursor : nullptr; }

void SetCursor(SGlobals* g)
{
    if (SCursor* c = CursorOf(g)) c->Set();
}

void FreeCursor(SGlobals* g)
{
    if (SCursor* c = CursorOf(g)) c->Free();
}

}  // namespace

const char* SWindowEventType(int type)
{
    return type == CreateNotify ? "Eventtype: CreateNotify" : "Eventtype: (unknown)";
}

bool SControl::eventProc(XEvent* event)
{
    if (!event) return false;
    SToolkitHold hold;
    Display* display = event->xany.display;
    // Keyboard mappings are the connection's, not a window's.
    if (event->type == MappingNotify) {
        if (!SWindowRegistry::Count(display)) return false;
        if (event->xmapping.request != MappingPointer) XRefreshKeyboardMapping(&event->xmapping);
        return true;
    }
    if (event->type > MappingNotify || !event->xany.window) return false;
    SControl* control = SWindowRegistry::Find(display, event->xany.window);
    // A watched window of the host's; ours that we destroyed ourselves are
    // unregistered first and land here too, which does no harm.
    if (!control && event->type == DestroyNotify) SWindowRegistry::Gone(display, event->xdestroywindow.window);
    if (!control || control->destroying || !control->input) return false;
    return control->Dispatch(event);
}

bool SControl::Dispatch(XEvent* e)
{
    // Pointer positions arrive in window pixels: from here on they are the
    // control's own (1x), on a copy, as the event is the host's.
    XEvent mapped;
    if (scaleFactor > 1 && (e->type == ButtonPress || e->type == ButtonRelease || e->type == MotionNotify ||
                      e->type == EnterNotify || e->type == LeaveNotify)) {
        mapped = *e;
        // The same members in the button, motion and crossing events.
        static_assert(offsetof(XButtonEvent, x) == offsetof(XMotionEvent, x) &&
                          offsetof(XButtonEvent, y) == offsetof(XMotionEvent, y) &&
                          offsetof(XButtonEvent, x) == offsetof(XCrossingEvent, x) &&
                          offsetof(XButtonEvent, y) == offsetof(XCrossingEvent, y),
                      "pointer events differ");
        mapped.xbutton.x = Unscaled(e->xbutton.x);
        mapped.xbutton.y = Unscaled(e->xbutton.y);
        e = &mapped;
    }
    switch (e->type) {
    case ButtonPress: return OnButtonPress(e->xbutton);
    case ButtonRelease: return OnButtonRelease(e->xbutton);
    case MotionNotify: return OnMotion(e->xmotion);
    case EnterNotify:
    case LeaveNotify: return OnCrossing(e->xcrossing);
    case FocusIn:
        Focussing(true);
        if (PointerInside(this)) SetCursor(globals);
        return true;
    case FocusOut:
        if ((style & SCS_DIALOG) && input->state[MS_CAPTURED]) {
            MouseReleaseCapture();
            MouseStateChanged(input->state, MS_CAPTURED);
        }
        if (style & SCS_MENU) CloseMenu();
        Focussing(false);
        return true;
    case Expose: {
        if (!(flags & SCF_MAPPED)) return true;
        BeginPaint();
        // However many are queued, one paint of the whole client.
        XEvent more;
        while (XCheckTypedWindowEvent(xdisplay, window, Expose, &more)) {
        }
        Draw(client);
        EndPaint();
        return true;
    }
    case NoExpose: return true;
    case UnmapNotify:
        if (parent && PointerInside(parent)) SetCursor(globals);
        flags &= ~SCF_MAPPED;
        return true;
    case MapNotify:
        if (PointerInside(this)) SetCursor(globals);
        flags |= SCF_MAPPED;
        return true;
    case ConfigureNotify: {
        XConfigureEvent c = e->xconfigure;
        XEvent newer;
        while (XCheckTypedWindowEvent(xdisplay, window, ConfigureNotify, &newer)) c = newer.xconfigure;
        const int at = PlaceScale(), w = c.width / scaleFactor, h = c.height / scaleFactor;
        rect = Rectangle(c.x / at, c.y / at, c.x / at + w, c.y / at + h);
        client = Rectangle(0, 0, w, h);
        return true;
    }
    case ClientMessage: return OnClientMessage(e->xclient);
    case DestroyNotify:
        // A parent's SubstructureNotify would name a child here.
        if (e->xdestroywindow.window == window) WindowGone();
        return true;
    case KeyPress:
    case KeyRelease: return OnKey(e->xkey);
    default: return false;
    }
}

void SControl::WindowGone()
{
    SWindowRegistry::Gone(xdisplay, window);
    SWindowRegistry::Unregister(this);
    if (capture == this) capture = nullptr;
    window = 0;
    flags &= ~SCF_MAPPED;
}

void SControl::CollectDestroyed(Display* display)
{
    // On the host's connection the events are the host's to read, and it
    // hands ours to eventProc itself.
    if (!display || !SXErrorTrap::Installed(display)) return;
    SToolkitHold hold;
    XSync(display, False);
    XEvent event;
    while (XCheckTypedEvent(display, DestroyNotify, &event)) eventProc(&event);
}

void SControl::WatchForeign(Display* display, Window window, bool watch)
{
    if (!display || !window || !SXErrorTrap::Installed(display) || SWindowRegistry::WasGone(display, window)) return;
    XSelectInput(display, window, watch ? StructureNotifyMask : NoEventMask);
    XFlush(display);
}

bool SControl::OnButtonPress(XButtonEvent& b)
{
    SetCursor(globals);
    if (!Enabled()) return true;
    bool* s = input->state;
    if (b.button == Button4 || b.button == Button5) {
        SControl* target = this;
        if ((style & SCS_WHEELTOPARENT) == SCS_WHEELTOPARENT) {
            target = parent;
            if (!target || !target->input || !target->Enabled()) return true;
            s = target->input->state;
        }
        s[MS_WHEEL] = true;
        ClearButtons(s);
        s[MS_WHEELUP] = b.button == Button4;
        s[MS_WHEELDOWN] = b.button == Button5;
        target->Modifiers(static_cast<int>(b.state));
        target->MouseStateChanged(s, MS_WHEEL);
        target->MousePosition(b.x, b.y);
        return true;
    }
    int code = -1;
    bool pointerButton = b.button >= Button1 && b.button <= Button3;
    if (pointerButton) {
        int flag = ButtonFlag(b.button);
        bool was = s[flag];
        ClearButtons(s);
        s[flag] = true;
        code = was ? -1 : flag;
    }
    // Server times wrap after 49 days: the difference is taken modulo 2^32.
    uint32_t time = static_cast<uint32_t>(b.time);
    if (input->lastClickTime != 0 && time - input->lastClickTime < doubleClickMs &&
        static_cast<int>(b.button) == input->lastButton && pointerButton) {
        int flag = DoubleFlag(b.button);
        bool was = s[flag];
        ClearDoubles(s);
        s[flag] = true;
        code = was ? -1 : flag;
    }
    input->lastClickTime = time;
    input->lastButton = static_cast<int>(b.button);
    s[MS_INSIDE] = true;
    s[MS_ENTERED] = s[MS_LEFT] = s[MS_RELEASED] = s[MS_WHEEL] = false;
    Modifiers(static_cast<int>(b.state));
    if (code >= 0) MouseStateChanged(s, code);
    if (!input) return true;  // the handler may have cleaned the control up
    if ((style & SCS_CAPTURE) && !s[MS_CAPTURED]) {
        MouseSetCapture();
        MouseStateChanged(s, MS_CAPTURED);
        if (!input) return true;
    }
    MousePosition(b.x, b.y);
    return true;
}

bool SControl::OnButtonRelease(XButtonEvent& b)
{
    SControl* target = (capture && capture->input) ? capture : this;
    bool* s = target->input->state;
    // A release ends its press even where the control answers nothing now
    // (a modal dialog that the press opened has disabled it): else its next
    // press reads as the same press held on and is ignored, and a capture
    // would keep the pointer.
    if (!Enabled()) {
        ClearButtons(s);
        ClearDoubles(s);
        if ((target->style & SCS_CAPTURE) && s[MS_CAPTURED]) target->MouseReleaseCapture();
        return true;
    }
    bool wasReleased = s[MS_RELEASED];
    s[MS_RELEASED] = true;
    ClearButtons(s);
    ClearDoubles(s);
    s[MS_WHEEL] = s[MS_MOVED] = s[MS_ENTERED] = false;
    if (s[MS_INSIDE]) {
        s[MS_LEFT] = false;
        SetCursor(target->globals);
    } else {
        s[MS_LEFT] = true;
        FreeCursor(target->globals);
    }
    target->Modifiers(static_cast<int>(b.state));
    if (!wasReleased) target->MouseStateChanged(s, MS_RELEASED);
    if (!target->input) return true;
    target->MousePosition(b.x, b.y);
    if ((target->style & SCS_CAPTURE) && s[MS_CAPTURED]) {
        target->MouseReleaseCapture();
        target->MouseStateChanged(s, MS_CAPTURED);
    }
    return true;
}

bool SControl::OnMotion(XMotionEvent& m)
{
    SetCursor(globals);
    if (!Enabled()) return true;
    SControl* target = (capture && capture->input) ? capture : this;
    bool* s = target->input->state;
    if (s[MS_INSIDE]) {
        bool wasMoved = s[MS_MOVED];
        bool wasEntered = s[MS_ENTERED];
        s[MS_ENTERED] = s[MS_WHEEL] = false;
        s[MS_MOVED] = true;
        target->Modifiers(static_cast<int>(m.state));
        if (!wasMoved || wasEntered) target->MouseStateChanged(s, MS_MOVED);
    } else {
        s[MS_ENTERED] = s[MS_MOVED] = s[MS_WHEEL] = false;
        target->Modifiers(static_cast<int>(m.state));
    }
    if (target->input) target->MousePosition(m.x, m.y);
    return true;
}

bool SControl::OnCrossing(XCrossingEvent& c)
{
    bool enter = c.type == EnterNotify;
    if (enter)
        SetCursor(globals);
    else
        FreeCursor(globals);
    if (!Enabled()) return true;
    if (capture) return true;
    bool* s = input->state;
    int code = -1;
    bool tip = tooltip && (flags & SCF_TOOLTIP);
    if (enter) {
        s[MS_INSIDE] = true;
        bool was = s[MS_ENTERED];
        s[MS_ENTERED] = true;
        s[MS_LEFT] = false;
        if (!was) code = MS_ENTERED;
        if (tip) PlaceTooltip();
    } else {
        s[MS_ENTERED] = s[MS_INSIDE] = false;
        bool was = s[MS_LEFT];
        s[MS_LEFT] = true;
        if (!was) code = MS_LEFT;
        if (tip) HideTooltip();
    }
    ClearButtons(s);
    ClearDoubles(s);
    s[MS_WHEEL] = false;
    Modifiers(static_cast<int>(c.state));
    if (code >= 0) MouseStateChanged(s, code);
    if (!input) return true;
    MousePosition(c.x, c.y);
    if (style & SCS_HOVERFRAME) RefreshOutlines();
    return true;
}

bool SControl::OnKey(XKeyEvent& k)
{
    if (!Enabled()) return true;
    SControl* target = (capture && capture->input) ? capture : this;
    bool pressed = k.type == KeyPress;
    char text[20];
    KeySym sym = NoSymbol;
    XLookupString(&k, text, sizeof text, &sym, nullptr);
    KeyCode key = Translate(sym);
    bool* s = target->input->state;
    if (key.code == 17) s[MS_SHIFT] = pressed;
    if (key.code == 18) s[MS_CONTROL] = pressed;
    if (key.code == 19) s[MS_ALT] = pressed;
    int mask = (s[MS_SHIFT] ? 1 : 0) | (s[MS_CONTROL] ? 2 : 0) | (s[MS_ALT] ? 4 : 0);
    if (pressed) {
        for (const SHotKey& hot : target->hotkeys) {
            if (hot.keysym == static_cast<uint32_t>(sym)) {
                int32_t payload[3] = {0, static_cast<int32_t>(sym), mask};
                target->SendEvent(EVENT_KEY, EVENT_DATA_POINTER, 0, 0.0f, payload, target, nullptr);
                break;
            }
        }
    }
    if (target->input) target->KeyStateChanged(key.code, pressed, mask, key.keyClass);
    return true;
}

bool SControl::OnClientMessage(XClientMessageEvent& m)
{
    Atom type = m.message_type;
    if (type == SAtoms::Get(xdisplay, "WM_PAINT_REGION")) {
        bool found;
        context::SDrawRegion* region = TakePendingRegion(static_cast<uint32_t>(m.data.l[1]), &found);
        if (found) {
            BeginPaint();
            DrawRegion(region);
            EndPaint();
        }
    } else if (type == SAtoms::Get(xdisplay, "WM_PAINT_AREA")) {
        BeginPaint();
        DrawArea(static_cast<unsigned>(m.data.l[1]));
        EndPaint();
    } else if (type == SAtoms::Get(xdisplay, "WM_PAINT_OUTLINES")) {
        BeginPaint();
        DrawOutlines(Rectangle(0, 0, Width(), Height()));
        EndPaint();
    } else if (type == SAtoms::Get(xdisplay, "WM_PROTOCOLS")) {
        if ((style & SCS_DIALOG) && !(style & SCS_ROOTPARENT))
            CloseDialog();
        else if (style & SCS_APPWINDOW)
            Stop();
    }
    // Menu messages and any other names are consumed unseen.
    return true;
}

bool SControl::PointerInside(SControl* c)
{
    if (!c || !c->window || !c->xdisplay) return false;
    Window root, child;
    int rx, ry, x, y;
    unsigned mask;
    if (!XQueryPointer(c->xdisplay, c->window, &root, &child, &rx, &ry, &x, &y, &mask)) return false;
    x = c->Unscaled(x);
    y = c->Unscaled(y);
    const Rectangle& r = c->client;
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// The tip opens on its side of the control, unless it would leave the
// monitor there: then on the opposite side. The whole tip must fit, not only
// its text block. Then it is moved into that monitor along the side it opens
// on, so that no part of it is ever off screen. Positions are laid out in the
// control's pixels and the tip is measured in screen pixels, at every factor.
void SControl::PlaceTooltip()
{
    SToolTip* tip = tooltip ? tooltip->tooltip : nullptr;
    if (!tip) return;
    tip->flipped = false;
    const Rectangle& tr = tooltip->bounds;
    const int bw = tr.Width() + 48, bh = tr.Height() + 16;
    const int cw = Width(), ch = Height();
    // The tip's size on the screen.
    const int tw = bw * tip->Scale(), th = bh * tip->Scale();
    Rectangle screen;
    if (SDisplay* info = sd.DisplayInfo()) screen = info->MonitorRect(this);
    if ((screen.Width() <= 0 || screen.Height() <= 0) && xdisplay) {
        const int n = DefaultScreen(xdisplay);
        screen = Rectangle(0, 0, DisplayWidth(xdisplay, n), DisplayHeight(xdisplay, n));
    }
    auto toRoot = [this](int x, int y) {
        Point o = tooltip->GetOffset();
        return GetClient2Screen(x + o.x, y + o.y);
    };
    const int centredX = (cw - bw) >> 1, centredY = (ch - bh) >> 1;
    Point at;
    switch (tooltip->side) {
    case TIP_ABOVE:
        at = toRoot(centredX, -bh - 3);
        if (at.y < screen.top) {
            tip->flipped = true;
            at = toRoot(centredX, ch + 3);
        }
        break;
    case TIP_RIGHT:
        at = toRoot(cw + 3, centredY);
        if (at.x + tw > screen.right) {
            tip->flipped = true;
            at = toRoot(-3 - bw, centredY);
        }
        break;
    case TIP_BELOW:
        at = toRoot(centredX, ch + 3);
        if (at.y + th > screen.bottom) {
            tip->flipped = true;
            at = toRoot(centredX, -bh - 3);
        }
        break;
    case TIP_LEFT:
        at = toRoot(-3 - bw, centredY);
        if (at.x < screen.left) {
            tip->flipped = true;
            at = toRoot(cw + 3, centredY);
        }
        break;
    default: at = Point(0, 0); break;
    }
    const Point wanted = at;
    if (screen.Width() > 0 && screen.Height() > 0) {
        // The far edge first: a tip wider than the monitor keeps its start.
        if (at.x + tw > screen.right) at.x = screen.right - tw;
        if (at.x < screen.left) at.x = screen.left;
        if (at.y + th > screen.bottom) at.y = screen.bottom - th;
        if (at.y < screen.top) at.y = screen.top;
    }
    const bool across = tooltip->side == TIP_ABOVE || tooltip->side == TIP_BELOW;
    tip->markerShift = (across ? at.x - wanted.x : at.y - wanted.y) / tip->Scale();
    ShowTooltip(at);
}

int SControl::errorHandler(Display* display, XErrorEvent* event)
{
    if (!display || !event) return 0;
    xerror = true;
    if (!SXErrorTrap::Admit()) return 0;
    char text[256] = {};
    XGetErrorText(display, event->error_code, text, sizeof text);
    // Request codes above 127 belong to extensions, which have no entry in
    // the core request database.
    char request[256] = {};
    if (static_cast<signed char>(event->request_code) >= 0) {
        char number[16];
        snprintf(number, sizeof number, "%d", event->request_code);
        XGetErrorDatabaseText(display, "XRequest", number, "", request, sizeof request);
    }
    // One line, written at once, so that lines of other threads cannot cut
    // into it.
    fprintf(stderr, "XError Message: %s; request %d%s%s%s, minor %d, serial %lu, XID 0x%lx\n", text,
            event->request_code, request[0] ? " (" : "", request, request[0] ? ")" : "", event->minor_code,
            event->serial, static_cast<unsigned long>(event->resourceid));
    return 0;
}

bool SControl::getProperty(Display* display, Window w, Atom property, uint32_t* value)
{
    if (!display || !w || !property) return false;
    xerror = false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    int status;
    bool failed;
    {
        SXErrorTrap::Probe probe(display);
        status = XGetWindowProperty(display, w, property, 0, 1, False, AnyPropertyType, &type, &format, &count,
                                    &after, &data);
        failed = probe.Failed();
    }
    if (failed) xerror = true;
    bool ok = !failed && status == Success && data && format == 32 && count == 1;
    // Format-32 items come back as longs, whatever their size.
    if (ok && value) *value = static_cast<uint32_t>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return ok;
}

}  // namespace gui
}  // namespace quor
