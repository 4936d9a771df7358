#pragma once
// The base of every visible element: a control is its own X11 window.
//
// The window names its control in the "_QUORWND" property and the event
// dispatcher in "_XEventProc". eventProc turns each X event into calls of
// the control's virtual operations. Nothing is drawn on request: a control
// asks for a repaint by sending an event to its own window (an Expose or one
// of the paint client messages), and draws when that event comes back
// through the queue, under the X display lock.
//
// Threads: everything here runs under the toolkit lock (SToolkitLock), which
// eventProc, SendEvent, construction and destruction take themselves. Delete
// a control with the lock held: the dispatching thread may be about to call
// it, and only the lock keeps it out while the derived parts go. A derived
// destructor sets `destroying` before anything that may let the lock go.
// Windows live on the toolkit's own connection (dps) whenever it is open, on
// the host's otherwise; a control keeps the connection its window lives on
// and talks to it alone.

#include <X11/Xlib.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "quor/data/datastring.h"
#include "quor/gui/SEvent.h"
#include "quor/gui/SEventManager.h"
#include "quor/gui/SGeometry.h"
#include "quor/gui/context/SInput.h"

class SGlobals;

namespace quor {
namespace threading {
class STimer;
class STimerIdle;
}  // namespace threading
namespace gui {
namespace context {
class SDrawing;
class SDrawDevice;
class SDrawBitmap;
class SDrawRegion;
}  // namespace context

class SToolTip;
class SToolTipData;

// Creation style bits.
enum : uint32_t {
    SCS_CHILDREN = 0x2,
    SCS_HOVERFRAME = 0x4,
    SCS_CAPTURE = 0x8,
    SCS_ROUNDED = 0x10,
    SCS_DIALOG = 0x100,
    SCS_APPWINDOW = 0x200,
    SCS_NOSIZEHINTS = 0x400,
    SCS_MENU = 0x800,
    SCS_WHEELTOPARENT = 0x202000,  // both bits
    SCS_BORDER = 0x20000,
    SCS_OUTLINE = 0x40000,
    SCS_MARKERS = 0x80000,
    SCS_TIMER = 0x100000,
    SCS_ROOTPARENT = 0x400000,
    SCS_ALLEVENTS = 0x800000,
};

// Run-time state flags.
enum : uint32_t {
    SCF_ENABLED = 0x1,
    SCF_MAPPED = 0x4,
    SCF_TOOLTIP = 0x20,
    SCF_RESTORED = 0x80,
    SCF_FOCUS = 0x100,
};

// One hot key: pressing the key with this keysym raises EVENT_KEY.
struct SHotKey {
    int32_t id;
    uint32_t keysym;
    int32_t modifiers;
};

class SIExtended {
public:
    virtual ~SIExtended() = default;
};

class SControl : public SIExtended {
public:
    typedef quor::data::datastring<32, char> String;

    SControl();
    // A control without a window that numbers its timers from `globals`:
    // a listener, or a timer's owner, that is never shown.
    explicit SControl(SGlobals* globals);
    SControl(SGlobals* globals, SControl* parent, unsigned id, const char* name, int style, int x, int y, int w,
             int h, int parentWindow, bool flag);
    ~SControl() override;
    SControl(const SControl&) = delete;
    SControl& operator=(const SControl&) = delete;

    // ---- virtual operations
    virtual bool Create(SGlobals* globals, SControl* parent, unsigned id, const char* name, int style, int x, int y,
                        int w, int h, int parentWindow, bool flag);
    virtual void CreateContexts();
    virtual void CleanRessources();
    virtual void CleanUp();
    virtual void PrepareCleanUp();
    virtual void LoadControls() {}
    virtual void Reparent(int window);
    virtual void ReparentChildren() {}
    virtual void Inherit(int window);
    virtual void SetType(int) {}
    virtual void Enable(bool enable);
    virtual void EnableChildren(bool) {}
    virtual void Show();
    virtual void Hide();
    virtual void Reset() {}
    virtual void Toggle() {}
    virtual void Move(int dx, int dy);
    virtual void Move(Point& delta);
    virtual void Move(const Point& delta);
    virtual void Center();
    virtual void Center(Point& p);
    virtual void Foreground(bool raise);
    virtual void Minimized() {}
    virtual void WindowClose() {}
    virtual void WindowMinimize(bool) {}
    virtual void WindowMaximize(bool) {}
    virtual void CloseDialog() {}
    virtual void ClearState() {}
    virtual void CloseTip();
    virtual void Focussing(bool focus);
    virtual void Focus(bool focus);
    virtual void FocusTopParent();
    virtual void ActivateOwner();
    virtual void Refresh();
    virtual void RefreshRectangle(const Rectangle& r);
    virtual void RefreshOutlines();
    // Draws `region` (which must live until then) when the request comes
    // back through the queue.
    virtual void RefreshRegion(context::SDrawRegion* region);
    virtual void RefreshArea(unsigned area);
    virtual void RefreshControls(long) {}
    virtual void Draw(const Rectangle& r);
    virtual void DrawRegion(context::SDrawRegion*) {}
    virtual void DrawArea(unsigned) {}
    virtual void DrawOutlines(const Rectangle& r);
    virtual void DrawBorder(const Rectangle& r);
    virtual void SetBitmaps(context::SDrawBitmap*, context::SDrawBitmap*) {}
    virtual void MousePosition(int x, int y);
    virtual bool* MouseState();
    virtual void MouseStateChanged(bool*, int) {}
    virtual void MousePosChanged(int, int) {}
    virtual void MouseTracker(bool) {}
    virtual bool MouseTracking() { return false; }
    virtual void Modifiers(int xstate);
    virtual void KeyStateChanged(int, bool, int, int) {}
    virtual void UpdateModifiers(int, bool);
    virtual bool Key(int, bool) { return true; }
    bool KeyPressed(int) { return false; }
    bool KeyToggled(int) { return false; }
    virtual void MouseSetCapture();
    virtual void MouseReleaseCapture();
    virtual void MousePointer(int x, int y);
    virtual void SetDrawingMode(bool active);
    virtual void SetBackgroundMode(bool mode);
    virtual void SetBackground(uint32_t pixel, bool alternate);
    virtual void SetBackgroundColour(bool alternate);
    virtual void SetBackgroundColour(uint32_t pixel);
    virtual uint32_t GetBackgroundColour();
    virtual uint32_t GetForegroundColour();
    virtual void SetColours(uint32_t bg, uint32_t bgAlternate, uint32_t parentBg, uint32_t fg, uint32_t fgAlternate,
                            uint32_t text, uint32_t textAlternate);
    virtual void SetTextColour(uint32_t pixel);
    virtual void SetTitleColour(bool) {}
    virtual void SetTitleText(const char* text);
    virtual uint32_t GetFrameColour(bool first, bool second);
    virtual void SetFrameColour(uint32_t colour1, uint32_t colour3, uint32_t colour2);
    virtual const String* GetLabel() { return nullptr; }
    virtual void SetAlignment(int) {}
    virtual void SetOffset(Point) {}
    virtual void SetLabelOffset(Point&) {}
    virtual void SetTextSize(int) {}
    virtual void Highlight(bool, int, int, int) {}
    virtual void CreateTimer(int interval, bool start);
    virtual void CreateIdleTimer(int interval, bool start);
    virtual void CreateIdleFunction(void (**function)(void*), void* argument);
    virtual void DestroyIdleTimer();
    virtual void DestroyIdleFunction();
    virtual void StartTimer(int interval);
    virtual void StopTimer(bool destroy);
    // A further timer delivering EVENT_TIMER to this control's listeners.
    // The control owns it and ends it when it is cleaned up; delete it (or
    // call RemoveTimer) to end it earlier.
    virtual quor::threading::STimer* AddTimer(int interval, bool start);
    void RemoveTimer(quor::threading::STimer* added);
    // Called by an added timer that is being deleted.
    void ForgetTimer(quor::threading::STimer* added);
    virtual void TimerProc(int) {}
    virtual void IdleProc() {}
    virtual void Run() {}
    virtual void Stop() {}
    virtual void ParseEvent(SEvent*) {}
    virtual void EnableHandlers() {}
    virtual void MenuProcess(short) {}
    virtual void ChangeMenu() {}
    virtual void ShowMenu(const Point&) {}
    virtual void CloseMenu() {}
    virtual void SetTooltip(SToolTip* tip, const char* text, int side);
    virtual void SetTooltip(SToolTip* tip, const String& text, int side);
    virtual void SetTooltip(SToolTip* tip, SToolTipData* data, int side);
    virtual void ShowTooltip(const Point& p);
    virtual void HideTooltip();
    virtual void EnableTooltip(bool enable);
    virtual void SetSize(int w, int h);
    virtual bool IsSubcontrol(unsigned id);
    virtual void SetRoundShape(bool round);
    // Shows the control (and, for a window, its children) enlarged by a
    // whole factor from 1 to 4. The control keeps its size, position and
    // drawing at 1x; only its X window grows and its picture is enlarged
    // where it reaches the window. New children take their parent's factor.
    virtual void SetScale(int factor);

    // ---- plain operations
    // Destroys the window now; the object stays (for a later delete).
    void Destroy();
    // SCF_ENABLED, and the parent enabled (up to the top) or `modal`.
    bool Enabled() const;
    void SetPosition(int x, int y);
    void Resized(bool refresh);
    Point GetClient2Screen(const Point& p);
    Point GetClient2Screen(int x, int y);
    Point GetScreen2Client(const Point& p);
    Point GetScreen2Client(int x, int y);
    Point GetTopPosition();
    Point GetScreenPosition();
    int KeyStateGet() const;
    void KeyStateSet(int mask);
    context::SDrawDevice* GetDevice();

    // Events between controls.
    static void PrepareEvent(SEvent* record, int type, int dataType, int param, float value, void* data,
                             SControl* sender, quor::threading::SMutexID* mutex);
    void SendEvent(int type, int dataType, int param, float value, void* data, SControl* sender,
                   quor::threading::SMutexID* mutex);
    void SendEvent(SEvent* e);
    void AddEventListener(SControl* listener, int type);
    void RemoveEventListener(SControl* listener, int type);
    void EnableEventHandler(int type);
    void DisableEventHandler(int type);
    bool EventHandled(int type) const;

    // The dispatcher: finds the control of the event's window on the
    // event's own connection and hands it the event. False when the event
    // is not for a live control of this toolkit.
    static bool eventProc(XEvent* event);
    // Prints an X error as one "XError Message: " line (within the log's
    // budget, SXErrorTrap::Admit) and sets xerror.
    static int errorHandler(Display* display, XErrorEvent* event);
    // The 32-bit item of a window property, read with errors trapped. False
    // (and xerror set for an X error) unless exactly one item came back.
    static bool getProperty(Display* display, Window window, Atom property, uint32_t* value);
    static bool xerror;
    // Another client may destroy a window of ours (a host destroys its
    // editor window, and ours inside it go too): the server then tells
    // each of them with DestroyNotify. Handles those already sent: a round
    // trip, then every DestroyNotify in the queue, ahead of other events,
    // under the toolkit lock (no event is then between the queue and its
    // control). Afterwards GetWindow() is 0 for every control whose window
    // went before the call. Only on the toolkit's own connection.
    static void CollectDestroyed(Display* display);
    // Asks for (or stops asking for) the DestroyNotify of another client's
    // window that we draw in or on (the host's editor window), so that its
    // end is known too (SWindowRegistry::WasGone). Only on the toolkit's own
    // connection: on the host's it would change the host's own selection.
    static void WatchForeign(Display* display, Window window, bool watch);

    // ---- accessors
    SGlobals* GetGlobals() const { return globals; }
    SControl* GetParent() const { return parent; }
    unsigned GetId() const { return id; }
    uint32_t TimerId() const { return timerId; }
    const String& GetName() const { return name; }
    const Rectangle& GetRect() const { return rect; }
    const Rectangle& GetClientRect() const { return client; }
    int Width() const { return rect.right - rect.left; }
    int Height() const { return rect.bottom - rect.top; }
    uint32_t Style() const { return style; }
    uint32_t Flags() const { return flags; }
    Window GetWindow() const { return window; }
    Window GetParentWindow() const { return parentWindow; }
    // The connection the window lives on; null when it has none.
    Display* GetDisplay() const { return xdisplay; }
    // Whether the control has a window on a connection still open: not on
    // one the server dropped, which is neither read nor written again.
    bool Live() const;
    // Whether its window was made on a connection that has been let go of
    // since (lost, or the host's at unload): it is to be made anew.
    bool Orphaned() const;
    context::SDrawing* GetDrawing() const { return drawing; }
    context::SInput* GetInput() const { return input; }
    SToolTipData* GetTooltipData() const { return tooltip; }
    quor::threading::STimer* Timer() const { return timer; }
    quor::threading::STimerIdle* IdleTimer() const { return idleTimer; }
    bool Destroying() const { return destroying.load(); }
    int Scale() const { return scaleFactor; }
    bool IsModal() const { return modal; }
    void SetModal(bool m) { modal = m; }
    bool IsReactive() const { return reactive; }
    void AddHotKey(uint32_t keysym) { hotkeys.push_back(SHotKey{0, keysym, 0}); }
    std::vector<SControl*>& DisabledControls() { return disabledControls; }

protected:
    // Handles one event for this control (the body of eventProc).
    bool Dispatch(XEvent* event);
    bool OnButtonPress(XButtonEvent& e);
    bool OnButtonRelease(XButtonEvent& e);
    bool OnMotion(XMotionEvent& e);
    bool OnCrossing(XCrossingEvent& e);
    bool OnKey(XKeyEvent& e);
    bool OnClientMessage(XClientMessageEvent& e);
    // The window was destroyed by someone else: its id is forgotten, so that
    // nothing is ever asked of it again.
    void WindowGone();
    void PlaceTooltip();
    void DeleteAddedTimers();
    // Whether the pointer lies inside `control`'s client rectangle.
    bool PointerInside(SControl* control);
    // Every paint runs between these: under the display lock, so that its
    // requests are not interleaved with other threads' on the connection.
    void BeginPaint();
    void EndPaint();
    // False when nothing was sent (no window, or not mapped).
    bool SendPaintMessage(const char* type, long item1, long item2, long item3, long item4);
    // The region RefreshRegion gave this number, once.
    context::SDrawRegion* TakePendingRegion(uint32_t serial, bool* found);
    // The factor of the window's position: its parent control's scale inside
    // that control's window, 1 elsewhere (on the root, in a host's window).
    int PlaceScale() const;
    // The surface's own device: the window, or at a factor above 1 a
    // picture off screen that EndPaint enlarges onto the window.
    void ChooseDevice();
    void SetSizeHints();
    // Pointer positions from X (window pixels) to the control's own.
    int Unscaled(int v) const { return v >= 0 ? v / scaleFactor : -((-v + scaleFactor - 1) / scaleFactor); }

    SGlobals* globals;
    SControl* parent;
    unsigned id;
    uint32_t timerId;
    String name;
    Rectangle rect;
    Rectangle client;
    uint32_t style;
    uint32_t flags;
    SEventManager events;
    SEvent event;
    context::SDrawing* drawing;
    context::SInput* input;
    quor::threading::STimer* timer;
    quor::threading::STimerIdle* idleTimer;
    std::vector<quor::threading::STimer*> addedTimers;
    // Regions asked for by RefreshRegion whose message has not come back.
    struct PendingRegion {
        uint32_t serial;
        context::SDrawRegion* region;
    };
    std::vector<PendingRegion> pendingRegions;
    uint32_t regionSerial = 0;
    SToolTipData* tooltip;
    std::vector<SHotKey> hotkeys;
    bool reactive;
    // Read by timer threads.
    std::atomic<bool> destroying;
    bool cleanedUp;
    bool modal;
    Window window;
    Window parentWindow;
    Window previousFocus;
    Atom deleteAtom;
    std::vector<SControl*> disabledControls;
    Display* xdisplay;
    int scaleFactor = 1;
};

// The control holding the mouse capture, or null.
extern SControl* capture;

}  // namespace gui
}  // namespace quor
