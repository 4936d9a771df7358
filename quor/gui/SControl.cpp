#include "quor/gui/SControl.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstring>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SCursor.h"
#include "quor/gui/SDisplay.h"
#include "quor/gui/SEventDispatcher.h"
#include "quor/gui/SEventProcAddress.h"
#include "quor/gui/SScaleFactor.h"
#include "quor/gui/SToolTip.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SWindowRegistry.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawScaled.h"
#include "quor/gui/context/SDrawing.h"
#include "quor/system/SSystemData.h"
#include "quor/threading/SMutexID.h"
#include "quor/threading/STimer.h"
#include "quor/threading/STimerIdle.h"

namespace quor {
namespace gui {

using context::DisplayOpen;
using context::SDrawing;

SControl* capture = nullptr;
bool SControl::xerror = false;

namespace {

constexpr long allEvents = 0x163A07F;
constexpr long noPropagation = 0x200F;
constexpr long dialogEvents = 0x228000;  // exposure, structure, focus

// X rejects windows and sizes of 0 with BadValue.
unsigned Extent(int v) { return v > 0 ? static_cast<unsigned>(v) : 1u; }

Window AsWindow(int w) { return static_cast<Window>(static_cast<unsigned>(w)); }

// Format-32 property data goes through Xlib as longs, whatever their size.
void SetProperty32(Display* d, Window w, Atom property, Atom type, const long* items, int count)
{
    XChangeProperty(d, w, property, type, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(items), count);
}

void SetTextProperties(Display* d, Window w, const char* text)
{
    XTextProperty property;
    property.value = reinterpret_cast<unsigned char*>(const_cast<char*>(text));
    property.encoding = XA_STRING;
    property.format = 8;
    property.nitems = strlen(text);
    XSetWMName(d, w, &property);
    XStoreName(d, w, text);
    XSetIconName(d, w, text);
    XSetWMIconName(d, w, &property);
}

// Whether input focus may go to `w`: XSetInputFocus on a window that is not
// viewable is an error.
bool Viewable(Display* d, Window w)
{
    if (w == None || w == PointerRoot) return true;
    XWindowAttributes a;
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

bool ShapeAvailable(Display* d)
{
    int event, error;
    return XShapeQueryExtension(d, &event, &error);
}

}  // namespace

// ---- construction and destruction

SControl::SControl()
    : globals(nullptr), parent(nullptr), id(0), timerId(0), style(0), flags(SCF_ENABLED | 0x8), drawing(nullptr),
      input(nullptr), timer(nullptr), idleTimer(nullptr), tooltip(nullptr), reactive(false), destroying(false),
      cleanedUp(false), modal(false), window(0), parentWindow(0), previousFocus(0), deleteAtom(0), xdisplay(nullptr)
{
}

SControl::SControl(SGlobals* g) : SControl() { globals = g; }

SControl::SControl(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w, int h, int pw,
                   bool flag)
    : SControl()
{
    // Create is virtual, but from a constructor it can only be this one:
    // derived controls that need more call their own after construction.
    SControl::Create(g, p, i, n, s, x, y, w, h, pw, flag);
}

bool SControl::Create(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w, int h,
                      int pw, bool)
{
    SToolkitHold hold;
    globals = g;
    parent = p;
    style = static_cast<uint32_t>(s);
    id = i;
    flags |= SCF_MAPPED;
    name = n ? n : "";
    rect = Rectangle(x, y, x + w, y + h);
    client = Rectangle(0, 0, w, h);
    previousFocus = 0;
    deleteAtom = 0;
    parentWindow = 0;
    destroying = false;
    cleanedUp = false;
    modal = false;
    reactive = true;

    scaleFactor = p ? p->scaleFactor : 1;
    Display* d = context::CurrentDisplay();
    if (d && !window) {
        xdisplay = d;
        int screen = DefaultScreen(d);
        Window root = RootWindow(d, screen);
        XSetWindowAttributes a = {};
        a.save_under = True;
        a.event_mask = allEvents;
        a.do_not_propagate_mask = noPropagation;
        a.override_redirect = (style & SCS_BORDER) ? False : True;
        unsigned border = (style & SCS_BORDER) ? 3 : 0;
        bool topLevel = style & (SCS_APPWINDOW | SCS_DIALOG);
        const int s = scaleFactor;
        if (style & SCS_APPWINDOW) {
            parentWindow = root;
            window = XCreateWindow(d, parentWindow, x, y, Extent(w * s), Extent(h * s), border, CopyFromParent,
                                   CopyFromParent, CopyFromParent, 0xE00, &a);
        } else if (style & SCS_DIALOG) {
            parentWindow = root;
            if (!(style & SCS_ROOTPARENT)) {
                if (p && p->window)
                    parentWindow = p->window;
                else if (pw)
                    parentWindow = AsWindow(pw);
            }
            const int at = PlaceScale();
            window = XCreateWindow(d, parentWindow, x * at, y * at, Extent(w * s), Extent(h * s), border,
                                   DefaultDepth(d, screen), InputOutput, DefaultVisual(d, screen), 0x1E00, &a);
            XSelectInput(d, window, (style & SCS_ALLEVENTS) ? allEvents : dialogEvents);
        } else {
            XFlush(d);
            parentWindow = (p && p->window) ? p->window : pw ? AsWindow(pw) : root;
            a.override_redirect = True;
            const int at = PlaceScale();
            window = XCreateWindow(d, parentWindow, x * at, y * at, Extent(w * s), Extent(h * s), 0, CopyFromParent,
                                   InputOutput, CopyFromParent, 0xA00, &a);
        }
        if (topLevel) {
            deleteAtom = SAtoms::Existing(d, "WM_DELETE_WINDOW");
            if (deleteAtom) XSetWMProtocols(d, window, &deleteAtom, 1);
            SetTextProperties(d, window, name.Text());
            SetSizeHints();
        }
        if (!(style & SCS_BORDER)) {
            // Each only when a window manager has made the atom already.
            if (Atom motif = SAtoms::Existing(d, "_MOTIF_WM_HINTS")) {
                const long hints[4] = {2, 0, 0, 0};
                SetProperty32(d, window, motif, motif, hints, 4);
            }
            if (Atom win = SAtoms::Existing(d, "_WIN_HINTS")) {
                const long hints[1] = {0};
                SetProperty32(d, window, win, win, hints, 1);
            }
            if (Atom kwm = SAtoms::Existing(d, "KWM_WIN_DECORATION")) {
                const long hints[1] = {2};
                SetProperty32(d, window, kwm, kwm, hints, 1);
            }
            if (Atom type = SAtoms::Existing(d, "_NET_WM_WINDOW_TYPE")) {
                const long types[2] = {static_cast<long>(SAtoms::Get(d, "_KDE_NET_WM_WINDOW_TYPE_OVERRIDE")),
                                       static_cast<long>(SAtoms::Get(d, "_NET_WM_WINDOW_TYPE_NORMAL"))};
                SetProperty32(d, window, type, XA_ATOM, types, 2);
            }
        }
        Atom quorwnd = SAtoms::Get(d, "_QUORWND");
        const long key[1] = {static_cast<long>(SWindowRegistry::Register(this, d, window))};
        SetProperty32(d, window, quorwnd, quorwnd, key, 1);
        // Without a trampoline there is no address to give: a host finding
        // none leaves the window's events to the toolkit's own thread.
        if (const uint32_t entry = EventProcAddress()) {
            Atom proc = SAtoms::Get(d, "_XEventProc");
            const long address[1] = {static_cast<long>(entry)};
            SetProperty32(d, window, proc, proc, address, 1);
        }
        if (d == dps) SEventDispatcher::Serve(d);
    }
    CreateContexts();
    Hide();
    return true;
}

void SControl::CreateContexts()
{
    delete drawing;
    delete input;
    drawing = new SDrawing(this, globals);
    input = new context::SInput();
    ChooseDevice();
}

void SControl::SetSizeHints()
{
    if (!Live() || !(style & (SCS_APPWINDOW | SCS_DIALOG)) || (style & SCS_NOSIZEHINTS)) return;
    XSizeHints hints = {};
    hints.flags = PSize | PMinSize | PMaxSize | PResizeInc;
    hints.width = hints.min_width = hints.max_width = Width() * scaleFactor;
    hints.height = hints.min_height = hints.max_height = Height() * scaleFactor;
    XSetWMNormalHints(xdisplay, window, &hints);
}

int SControl::PlaceScale() const
{
    return parent && parent->window && parentWindow == parent->window ? parent->scaleFactor : 1;
}

void SControl::ChooseDevice()
{
    if (!drawing) return;
    const bool scaledNow = dynamic_cast<context::SDrawScaled*>(drawing->OwnedDevice()) != nullptr;
    if (scaleFactor > 1 && Live()) {
        XWindowAttributes a;
        {
            SXErrorTrap::Probe probe(xdisplay);
            if (!XGetWindowAttributes(xdisplay, window, &a)) return;
        }
        drawing->SetOwnedDevice(new context::SDrawScaled(xdisplay, window, a.visual, a.depth, scaleFactor));
    } else if (scaledNow) {
        drawing->SetOwnedDevice(new context::SDrawDevice(static_cast<int>(window)));
    }
}

void SControl::SetScale(int factor)
{
    SToolkitHold hold;
    factor = factor < 1 ? 1 : factor > maxScale ? maxScale : factor;
    if (factor == scaleFactor) return;
    scaleFactor = factor;
    if (Live()) {
        const int at = PlaceScale();
        XMoveResizeWindow(xdisplay, window, rect.left * at, rect.top * at, Extent(Width() * scaleFactor),
                          Extent(Height() * scaleFactor));
        SetSizeHints();
    }
    ChooseDevice();
    Refresh();
}

void SControl::CleanRessources() { destroying = true; }

void SControl::PrepareCleanUp()
{
    if (window) Hide();
}

void SControl::CleanUp()
{
    SToolkitHold hold;
    destroying = true;
    if (cleanedUp) return;
    cleanedUp = true;
    // No event reaches a control being taken apart.
    SWindowRegistry::Unregister(this);
    PrepareCleanUp();
    DestroyIdleTimer();
    StopTimer(true);
    DeleteAddedTimers();
    if ((style & SCS_CAPTURE) && input) {
        if (input->state[MS_CAPTURED]) MouseReleaseCapture();
        input->Reset();
    }
    delete tooltip;
    tooltip = nullptr;
    delete drawing;
    drawing = nullptr;
    delete input;
    input = nullptr;
}

void SControl::Destroy()
{
    SToolkitHold hold;
    destroying = true;
    CleanUp();
    if (capture == this) capture = nullptr;
    SWindowRegistry::Unregister(this);
    if (Live()) XDestroyWindow(xdisplay, window);
    window = 0;
}

SControl::~SControl()
{
    SToolkitHold hold;
    destroying = true;
    SControl::CleanUp();
    if (capture == this) capture = nullptr;
    SWindowRegistry::Unregister(this);
    if (Live()) {
        XDestroyWindow(xdisplay, window);
        XFlush(xdisplay);
    }
    window = 0;
}

bool SControl::Live() const { return window && xdisplay && DisplayOpen(xdisplay); }

bool SControl::Orphaned() const { return xdisplay && !DisplayOpen(xdisplay); }

// ---- geometry and visibility

void SControl::Reparent(int w)
{
    SToolkitHold hold;
    bool wasMapped = flags & SCF_MAPPED;
    Hide();
    if (!Live()) return;
    parentWindow = w ? AsWindow(w) : DefaultRootWindow(xdisplay);
    const int at = PlaceScale();
    XReparentWindow(xdisplay, window, parentWindow, rect.left * at, rect.top * at);
    if (wasMapped) Show();
}

void SControl::Inherit(int w)
{
    if (!Live() || !w) return;
    XWindowAttributes from;
    {
        SXErrorTrap::Probe probe(xdisplay);
        if (!XGetWindowAttributes(xdisplay, AsWindow(w), &from)) return;
    }
    XSetWindowAttributes a = {};
    a.colormap = from.colormap;
    a.backing_store = from.backing_store;
    a.save_under = from.save_under;
    a.event_mask = from.your_event_mask;
    a.do_not_propagate_mask = from.do_not_propagate_mask;
    a.override_redirect = from.override_redirect;
    XChangeWindowAttributes(xdisplay, window, 0x1E00, &a);
}

void SControl::Enable(bool enable)
{
    if (enable)
        flags |= SCF_ENABLED;
    else
        flags &= ~SCF_ENABLED;
    Refresh();
}

bool SControl::Enabled() const
{
    if (!(flags & SCF_ENABLED)) return false;
    return !parent || modal || parent->Enabled();
}

void SControl::Show()
{
    if (flags & SCF_MAPPED) return;
    if (Live()) XMapRaised(xdisplay, window);
    flags |= SCF_MAPPED;
    Refresh();
}

void SControl::Hide()
{
    if (!(flags & SCF_MAPPED)) return;
    if (Live()) XUnmapWindow(xdisplay, window);
    flags &= ~SCF_MAPPED;
}

void SControl::Move(int dx, int dy) { SetPosition(rect.left + dx, rect.top + dy); }
void SControl::Move(Point& delta) { Move(delta.x, delta.y); }
void SControl::Move(const Point& delta) { Move(delta.x, delta.y); }

void SControl::Center()
{
    if (SDisplay* info = sd.DisplayInfo()) info->CenterOnWindow(this);
}

void SControl::Center(Point& p)
{
    if (SDisplay* info = sd.DisplayInfo()) info->CenterOnWindow(this, p);
}

void SControl::Foreground(bool)
{
    if (Live()) XRaiseWindow(xdisplay, window);
}

void SControl::SetPosition(int x, int y)
{
    rect = Rectangle(x, y, x + Width(), y + Height());
    const int at = PlaceScale();
    if (Live()) XMoveWindow(xdisplay, window, x * at, y * at);
}

void SControl::SetSize(int w, int h)
{
    rect.right = rect.left + w;
    rect.bottom = rect.top + h;
    client.right = client.left + w;
    client.bottom = client.top + h;
    if (Live()) XResizeWindow(xdisplay, window, Extent(w * scaleFactor), Extent(h * scaleFactor));
}

void SControl::Resized(bool refresh)
{
    if (!Live()) return;
    XWindowAttributes a;
    {
        SXErrorTrap::Probe probe(xdisplay);
        if (!XGetWindowAttributes(xdisplay, window, &a)) return;
    }
    const int at = PlaceScale();
    const int w = a.width / scaleFactor, h = a.height / scaleFactor;
    rect = Rectangle(a.x / at, a.y / at, a.x / at + w, a.y / at + h);
    client = Rectangle(0, 0, w, h);
    if (refresh) Refresh();
}

Point SControl::GetClient2Screen(int x, int y)
{
    if (!Live()) return Point(x, y);
    int rx = x, ry = y;
    Window child;
    XTranslateCoordinates(xdisplay, window, DefaultRootWindow(xdisplay), x * scaleFactor, y * scaleFactor, &rx, &ry, &child);
    return Point(rx, ry);
}

Point SControl::GetClient2Screen(const Point& p) { return GetClient2Screen(p.x, p.y); }

Point SControl::GetScreen2Client(int x, int y)
{
    if (!Live()) return Point(x, y);
    int cx = x, cy = y;
    Window child;
    XTranslateCoordinates(xdisplay, DefaultRootWindow(xdisplay), window, x, y, &cx, &cy, &child);
    return Point(Unscaled(cx), Unscaled(cy));
}

Point SControl::GetScreen2Client(const Point& p) { return GetScreen2Client(p.x, p.y); }

Point SControl::GetScreenPosition()
{
    XWindowAttributes a;
    if (!Live() || !XGetWindowAttributes(xdisplay, window, &a)) return Point(0, 0);
    return Point(a.x, a.y);
}

Point SControl::GetTopPosition()
{
    if (!Live()) return Point(0, 0);
    Window current = window, root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    // Up to the window whose parent is the root.
    for (;;) {
        if (!XQueryTree(xdisplay, current, &root, &up, &children, &count)) break;
        if (children) XFree(children);
        children = nullptr;
        if (up == root || up == 0) break;
        current = up;
    }
    XWindowAttributes a;
    if (!XGetWindowAttributes(xdisplay, current, &a)) return Point(0, 0);
    return Point(a.x, a.y);
}

void SControl::SetTitleText(const char* text)
{
    if (!Live()) return;
    SetTextProperties(xdisplay, window, text ? text : "");
}

void SControl::MousePointer(int x, int y)
{
    if (Live()) XWarpPointer(xdisplay, None, window, 0, 0, 0, 0, x * scaleFactor, y * scaleFactor);
}

bool SControl::IsSubcontrol(unsigned i) { return i == id; }

void SControl::SetRoundShape(bool round)
{
    if (!Live() || !ShapeAvailable(xdisplay)) return;
    if (!round) {
        XShapeCombineMask(xdisplay, window, ShapeBounding, 0, 0, None, ShapeSet);
        return;
    }
    const int s = scaleFactor, W = Width(), H = Height();
    // The pieces cut from the top-left corner; the others mirror them.
    struct Cut {
        int x, y, w, h;
    };
    const Cut corner[4] = {{0, 0, 5, 1}, {0, 1, 3, 1}, {0, 2, 2, 1}, {0, 3, 1, 2}};
    Region shape = XCreateRegion();
    XRectangle whole = {0, 0, static_cast<unsigned short>(Extent(W * s)), static_cast<unsigned short>(Extent(H * s))};
    XUnionRectWithRegion(&whole, shape, shape);
    for (const Cut& c : corner) {
        const int xs[2] = {c.x, W - c.x - c.w};
        const int ys[2] = {c.y, H - c.y - c.h};
        for (int vx : xs) {
            for (int vy : ys) {
                Region piece = XCreateRegion();
                XRectangle r = {static_cast<short>(vx * s), static_cast<short>(vy * s),
                                static_cast<unsigned short>(c.w * s), static_cast<unsigned short>(c.h * s)};
                XUnionRectWithRegion(&r, piece, piece);
                XSubtractRegion(shape, piece, shape);
                XDestroyRegion(piece);
            }
        }
    }
    XShapeCombineRegion(xdisplay, window, ShapeBounding, 0, 0, shape, ShapeSet);
    XDestroyRegion(shape);
}

// ---- focus

void SControl::Focussing(bool focus)
{
    if (focus)
        flags |= SCF_FOCUS;
    else
        flags &= ~SCF_FOCUS;
}

void SControl::Focus(bool focus)
{
    if (!Live()) return;
    if (focus) {
        if (destroying || !(flags & SCF_MAPPED)) return;
        // Mapped is not viewable: inside an unmapped parent (a closed
        // editor) the window cannot take the focus, and asking is an error.
        SXErrorTrap::Probe probe(xdisplay);
        if (!Viewable(xdisplay, window)) return;
        Window current;
        int revert;
        XGetInputFocus(xdisplay, &current, &revert);
        if (current != window) {
            previousFocus = current;
            XSetInputFocus(xdisplay, window, RevertToNone, CurrentTime);
        }
        return;
    }
    Window current;
    int revert;
    XGetInputFocus(xdisplay, &current, &revert);
    if (current != window) return;
    SXErrorTrap::Probe probe(xdisplay);
    if (Viewable(xdisplay, previousFocus)) XSetInputFocus(xdisplay, previousFocus, RevertToNone, CurrentTime);
}

void SControl::FocusTopParent()
{
    if (!globals || !globals->parentWindow || !xdisplay) return;
    Window host = globals->parentWindow, root = 0, up = 0;
    Window* children = nullptr;
    unsigned count = 0;
    SXErrorTrap::Probe probe(xdisplay);
    if (!XQueryTree(xdisplay, host, &root, &up, &children, &count)) return;
    if (children) XFree(children);
    Window target = (up && up != root) ? up : host;
    if (Viewable(xdisplay, target)) XSetInputFocus(xdisplay, target, RevertToNone, CurrentTime);
}

void SControl::ActivateOwner()
{
    if (parent) parent->Focus(true);
}

// ---- refresh requests: events sent to our own window, drawn when they
// come back. Built on the stack: any thread may ask.

void SControl::Refresh()
{
    if (!(flags & SCF_MAPPED) || !Live()) return;
    XEvent e = {};
    e.xexpose.type = Expose;
    e.xexpose.display = xdisplay;
    e.xexpose.window = window;
    e.xexpose.width = Width() * scaleFactor;
    e.xexpose.height = Height() * scaleFactor;
    XSendEvent(xdisplay, window, False, ExposureMask, &e);
    XFlush(xdisplay);
}

void SControl::RefreshRectangle(const Rectangle& r)
{
    if (!(flags & SCF_MAPPED) || !Live()) return;
    XEvent e = {};
    e.xexpose.type = Expose;
    e.xexpose.display = xdisplay;
    e.xexpose.window = window;
    e.xexpose.x = r.left * scaleFactor;
    e.xexpose.y = r.top * scaleFactor;
    e.xexpose.width = (r.right - r.left) * scaleFactor;
    e.xexpose.height = (r.bottom - r.top) * scaleFactor;
    XSendEvent(xdisplay, window, False, ExposureMask, &e);
}

bool SControl::SendPaintMessage(const char* type, long item1, long item2, long item3, long item4)
{
    if (!(flags & SCF_MAPPED) || !Live()) return false;
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.display = xdisplay;
    e.xclient.window = window;
    e.xclient.message_type = SAtoms::Get(xdisplay, type);
    e.xclient.format = 32;
    e.xclient.data.l[1] = item1;
    e.xclient.data.l[2] = item2;
    e.xclient.data.l[3] = item3;
    e.xclient.data.l[4] = item4;
    XSendEvent(xdisplay, window, False, 0, &e);
    XFlush(xdisplay);
    return true;
}

void SControl::RefreshRegion(context::SDrawRegion* region)
{
    // Any client can send this message: it carries a number, not the
    // region, and only a number this control handed out draws anything.
    SToolkitHold hold;
    uint32_t serial = ++regionSerial;
    if (serial == 0) serial = ++regionSerial;
    if (SendPaintMessage("WM_PAINT_REGION", static_cast<long>(serial), 0, 0, 0))
        pendingRegions.push_back(PendingRegion{serial, region});
}

context::SDrawRegion* SControl::TakePendingRegion(uint32_t serial, bool* found)
{
    *found = false;
    for (auto it = pendingRegions.begin(); it != pendingRegions.end(); ++it) {
        if (it->serial != serial) continue;
        context::SDrawRegion* region = it->region;
        pendingRegions.erase(it);
        *found = true;
        return region;
    }
    return nullptr;
}

void SControl::RefreshArea(unsigned area) { SendPaintMessage("WM_PAINT_AREA", static_cast<long>(area), 0, 0, 0); }

void SControl::RefreshOutlines() { SendPaintMessage("WM_PAINT_OUTLINES", 0, 0, Width(), Height()); }

// ---- drawing

void SControl::Draw(const Rectangle& r)
{
    if (!drawing) return;
    drawing->DrawBackground(r, false);
    if (style & SCS_MARKERS) {
        uint32_t black = statdata.Colour(20);
        drawing->SetPen(statdata.FindPen(black));
        drawing->SetBrush(statdata.FindBrush(black));
        drawing->FillRect(r.left, r.top, r.right, r.top + 10);
        drawing->FillRect(r.left, r.top, r.left + 10, r.bottom);
        drawing->FillRect(r.right - 10, r.top, r.right, r.bottom);
        drawing->FillRect(r.left, r.bottom - 10, r.right, r.bottom);
        uint32_t blue = statdata.Colour(10);
        drawing->SetPen(statdata.FindPen(blue));
        drawing->SetBrush(statdata.FindBrush(blue));
        drawing->DrawRect(r);
        drawing->FillRect(r.left + 1, r.top + 1, r.left + 10, r.top + 10);
    }
    DrawOutlines(r);
}

void SControl::DrawOutlines(const Rectangle& r)
{
    if (!(style & SCS_OUTLINE) || !drawing) return;
    drawing->SetPen(statdata.FindPen(drawing->GetFrameColour(Enabled(), false)));
    drawing->DrawRect(r);
}

void SControl::DrawBorder(const Rectangle& r)
{
    if (!(style & SCS_BORDER) || !drawing) return;
    uint32_t black = statdata.Colour(20);
    drawing->SetPen(statdata.FindPen(black));
    drawing->SetBrush(statdata.FindBrush(black));
    drawing->FillRect(r);
}

void SControl::BeginPaint()
{
    if (!xdisplay) return;
    XLockDisplay(xdisplay);
    if (auto* scaled = drawing ? dynamic_cast<context::SDrawScaled*>(drawing->OwnedDevice()) : nullptr)
        scaled->Fit(Width(), Height());
}

void SControl::EndPaint()
{
    if (!xdisplay) return;
    if (auto* scaled = drawing ? dynamic_cast<context::SDrawScaled*>(drawing->OwnedDevice()) : nullptr)
        scaled->Present(0, 0, Width(), Height());
    XFlush(xdisplay);
    XUnlockDisplay(xdisplay);
}

// ---- mouse and keys

void SControl::MousePosition(int x, int y)
{
    if (!input) return;
    if (x == input->lastX && y == input->lastY) {
        input->deltaX = input->deltaY = 0;
        input->state[MS_MOVED] = false;
        return;
    }
    input->deltaX = x - input->lastX;
    input->deltaY = y - input->lastY;
    input->lastX = x;
    input->lastY = y;
    input->state[MS_MOVED] = true;
    MousePosChanged(input->deltaX, input->deltaY);
}

bool* SControl::MouseState() { return input ? input->state : nullptr; }

void SControl::Modifiers(int xstate)
{
    if (!input) return;
    input->state[MS_SHIFT] = xstate & ShiftMask;
    input->state[MS_CONTROL] = xstate & ControlMask;
    input->state[MS_ALT] = xstate & Mod1Mask;
}

int SControl::KeyStateGet() const { return input ? input->keyState : 0; }

void SControl::KeyStateSet(int mask)
{
    if (!input) return;
    input->keyState = mask;
    Modifiers(mask);
}

void SControl::UpdateModifiers(int, bool)
{
    if (input) Modifiers(input->keyState);
}

void SControl::MouseSetCapture()
{
    if (!input) return;
    capture = this;
    input->state[MS_CAPTURED] = true;
    if (!Live()) return;
    int grabbed = XGrabPointer(xdisplay, window, False, 0x207C, GrabModeAsync, GrabModeAsync, None, None,
                               CurrentTime);
    if (grabbed != GrabSuccess) {
        capture = nullptr;
        input->state[MS_CAPTURED] = false;
    }
}

void SControl::MouseReleaseCapture()
{
    if (input) input->state[MS_CAPTURED] = false;
    capture = nullptr;
    if (xdisplay) {
        XUngrabPointer(xdisplay, CurrentTime);
        XFlush(xdisplay);
    }
}

// ---- colours: the drawing surface's

void SControl::SetDrawingMode(bool active)
{
    if (!drawing) return;
    drawing->SetBackgroundColour(active);
    drawing->SetForegroundColour(active);
}

void SControl::SetBackgroundMode(bool mode)
{
    if (drawing) drawing->SetBackgroundMode(mode);
}

void SControl::SetBackground(uint32_t pixel, bool alternate)
{
    if (drawing) drawing->SetBackground(pixel, alternate);
}

void SControl::SetBackgroundColour(bool alternate)
{
    if (drawing) drawing->SetBackgroundColour(alternate);
}

void SControl::SetBackgroundColour(uint32_t pixel)
{
    if (drawing) drawing->SetBackgroundColour(pixel);
}

uint32_t SControl::GetBackgroundColour() { return drawing ? drawing->GetBackgroundColour() : 0; }

uint32_t SControl::GetForegroundColour() { return drawing ? drawing->GetForegroundColour() : 0; }

void SControl::SetColours(uint32_t bg, uint32_t bgAlternate, uint32_t parentBg, uint32_t fg, uint32_t fgAlternate,
                          uint32_t text, uint32_t textAlternate)
{
    if (drawing) drawing->SetColours(bg, bgAlternate, parentBg, fg, fgAlternate, text, textAlternate);
}

void SControl::SetTextColour(uint32_t pixel)
{
    if (drawing) drawing->SetTextColour(pixel, false);
}

uint32_t SControl::GetFrameColour(bool first, bool second)
{
    return drawing ? drawing->GetFrameColour(first, second) : 0;
}

void SControl::SetFrameColour(uint32_t colour1, uint32_t colour3, uint32_t colour2)
{
    if (drawing) drawing->SetFrameColour(colour1, colour3, colour2);
}

context::SDrawDevice* SControl::GetDevice() { return drawing ? drawing->GetDevice() : nullptr; }

// ---- timers and idle functions. Stopping never waits for a timer or idle
// call in progress while the toolkit lock is held: such a call runs under
// that lock, so none can be in progress, and a thread about to make one finds
// it stopped once it has the lock.

void SControl::CreateTimer(int interval, bool start)
{
    StopTimer(true);
    style |= SCS_TIMER;
    timerId = globals ? globals->NextIdentifier() : 0;
    timer = new quor::threading::STimer(this, timerId, 0);
    if (start) StartTimer(interval);
}

void SControl::StartTimer(int interval)
{
    if (timer) timer->Start(interval > 0 ? static_cast<unsigned>(interval) : 0u);
}

void SControl::StopTimer(bool destroy)
{
    if (!timer) return;
    quor::threading::STimer* stopping = timer;
    if (destroy) {
        timer = nullptr;
        timerId = 0;
    }
    stopping->Stop();
    if (destroy) delete stopping;
}

quor::threading::STimer* SControl::AddTimer(int interval, bool start)
{
    SToolkitHold hold;
    EnableEventHandler(EVENT_TIMER);
    AddEventListener(this, EVENT_TIMER);
    unsigned number = globals ? globals->NextIdentifier() : 0;
    auto* extra = new quor::threading::STimer(this, number, 0);
    extra->SetOwner(this);
    addedTimers.push_back(extra);
    if (start) extra->Start(interval > 0 ? static_cast<unsigned>(interval) : 0u);
    return extra;
}

void SControl::RemoveTimer(quor::threading::STimer* added)
{
    SToolkitHold hold;
    if (std::find(addedTimers.begin(), addedTimers.end(), added) != addedTimers.end()) delete added;
}

void SControl::ForgetTimer(quor::threading::STimer* added)
{
    SToolkitHold hold;
    auto it = std::find(addedTimers.begin(), addedTimers.end(), added);
    if (it != addedTimers.end()) addedTimers.erase(it);
}

void SControl::DeleteAddedTimers()
{
    while (!addedTimers.empty()) {
        quor::threading::STimer* going = addedTimers.back();
        addedTimers.pop_back();
        going->SetOwner(nullptr);
        delete going;
    }
}

void SControl::CreateIdleTimer(int interval, bool start)
{
    if (idleTimer) return;
    unsigned number = globals ? globals->NextIdentifier() : 0;
    idleTimer = new quor::threading::STimerIdle(this, static_cast<int>(number), interval, start);
    SEventDispatcher::Attend(true);
}

void SControl::DestroyIdleTimer()
{
    quor::threading::STimerIdle* stopping = idleTimer;
    idleTimer = nullptr;
    if (!stopping) return;
    SEventDispatcher::Attend(false);
    delete stopping;
}

void SControl::CreateIdleFunction(void (**function)(void*), void* argument)
{
    if (idleTimer) idleTimer->SetFunction(function, argument);
}

void SControl::DestroyIdleFunction()
{
    if (idleTimer) idleTimer->RemoveFunction();
}

// ---- tooltips

void SControl::SetTooltip(SToolTip* tip, SToolTipData* data, int)
{
    if (data != tooltip) delete tooltip;
    tooltip = data;
    if (!data) return;
    // The control joins the list of the tip that shows its data: that tip
    // switches it on and off, and its data leaves the list when it goes.
    data->owner = this;
    if (!data->tooltip) data->tooltip = tip;
    if (data->tooltip) data->tooltip->AddControl(this);
}

void SControl::SetTooltip(SToolTip* tip, const char* text, int side)
{
    auto* data = new SToolTipData(tip, this, side);
    data->AddLabel(text ? text : "", 0);
    SetTooltip(tip, data, side);
}

void SControl::SetTooltip(SToolTip* tip, const String& text, int side) { SetTooltip(tip, text.Text(), side); }

void SControl::ShowTooltip(const Point& p)
{
    if (tooltip && tooltip->tooltip) tooltip->tooltip->Open(tooltip, p);
}

void SControl::HideTooltip()
{
    if (tooltip && tooltip->tooltip) tooltip->tooltip->Close();
}

void SControl::CloseTip()
{
    if (tooltip) tooltip->Close();
}

void SControl::EnableTooltip(bool enable)
{
    if (enable)
        flags |= SCF_TOOLTIP;
    else
        flags &= ~SCF_TOOLTIP;
}

// ---- events between controls

void SControl::PrepareEvent(SEvent* record, int type, int dataType, int param, float value, void* data,
                            SControl* sender, quor::threading::SMutexID* mutex)
{
    if (!record) return;
    record->type = type;
    record->dataType = dataType;
    record->param = param;
    record->value = value;
    record->sender = sender;
    record->mutex = mutex;
    record->data = data;
}

void SControl::SendEvent(int type, int dataType, int param, float value, void* data, SControl* sender,
                         quor::threading::SMutexID* mutex)
{
    SToolkitHold hold;
    event.ticks = clock();
    PrepareEvent(&event, type, dataType, param, value, data, sender, mutex);
    SendEvent(&event);
}

void SControl::SendEvent(SEvent* e)
{
    if (!e) return;
    SToolkitHold hold;
    // A timer thread that got here while the control was being destroyed
    // delivers nothing.
    if (e->type == EVENT_TIMER && destroying) return;
    SEventHandler* handler = events.GetEventHandler(e->type);
    if (!handler) return;
    // The length is read again after every call: a listener may unsubscribe.
    for (size_t i = 0; i < handler->listeners.size(); ++i) {
        if (handler->listeners[i]->Destroying()) continue;
        quor::threading::SMutexID* mutex = e->mutex;
        if (mutex) mutex->Lock();
        handler->listeners[i]->ParseEvent(e);
        if (mutex) mutex->Unlock();
    }
}

void SControl::AddEventListener(SControl* listener, int type) { events.EnableListener(listener, type); }

void SControl::RemoveEventListener(SControl* listener, int type) { events.DisableListener(listener, type); }

void SControl::EnableEventHandler(int type) { events.EnableHandler(type); }

void SControl::DisableEventHandler(int type) { events.DisableHandler(type); }

bool SControl::EventHandled(int type) const { return events.EventHandled(type); }

}  // namespace gui
}  // namespace quor
