#include "quor/gui/SControllable.h"

#include <X11/Xlib.h>

#include <cmath>

#include "plugin/SStaticData.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

template <typename T, bool U>
SControllable<T, U>::SControllable(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w,
                                   int h, int pw, bool flag)
    : Label(g, p, i, n, s, x, y, w, h, pw, flag),
      valueColour(static_cast<int>(SCOL(0, 255, 255))),
      controlColours{statdata.Colour(4), statdata.Colour(4), statdata.Colour(0), statdata.Colour(10)},
      bufferSize{w, h}
{
    this->style |= SCS_HOVERFRAME | SCS_CAPTURE | SCS_ROUNDED;
}

template <typename T, bool U>
SControllable<T, U>::~SControllable()
{
    this->destroying = true;
    FreeDevices();
    delete backgroundBitmap;
    delete handleBitmap;
    delete bufferBitmap;
    backgroundBitmap = handleBitmap = bufferBitmap = nullptr;
}

template <typename T, bool U>
void SControllable<T, U>::FreeDevices()
{
    delete backgroundDevice;
    delete handleDevice;
    delete bufferDevice;
    backgroundDevice = handleDevice = bufferDevice = nullptr;
}

template <typename T, bool U>
void SControllable<T, U>::SetControlColours(uint32_t a, uint32_t b, uint32_t c, uint32_t handle)
{
    controlColours[0] = a;
    controlColours[1] = b;
    controlColours[2] = c;
    controlColours[3] = handle;
}

template <typename T, bool U>
void SControllable<T, U>::SetHandleColours(uint32_t handle, uint32_t third)
{
    controlColours[3] = handle;
    controlColours[2] = third;
}

template <typename T, bool U>
void SControllable<T, U>::SetValueZone(const Rectangle& r)
{
    valueZone = r;
    typeFlags |= CONTROLLABLE_VALUEZONE;
}

template <typename T, bool U>
void SControllable<T, U>::SetBitmaps(context::SDrawBitmap* background, context::SDrawBitmap* handle)
{
    delete backgroundDevice;
    delete handleDevice;
    backgroundDevice = handleDevice = nullptr;
    // The same bitmaps given again are kept, not freed and then used.
    if (backgroundBitmap != background && backgroundBitmap != handle) delete backgroundBitmap;
    if (handleBitmap != handle && handleBitmap != background) delete handleBitmap;
    if (background == handle) handle = nullptr;
    backgroundBitmap = background;
    handleBitmap = handle;
    context::SDrawDevice* window = this->drawing ? this->drawing->GetDevice() : nullptr;
    if (background && handle && background->GetPixmap() && handle->GetPixmap()) {
        typeFlags |= CONTROLLABLE_BITMAPS;
        backgroundDevice = new context::SDrawMemoryDevice(window, background);
        handleDevice = new context::SDrawMemoryDevice(window, handle);
        handleRect = Rectangle(0, 0, handle->Width(), handle->Height());
    } else {
        typeFlags &= ~CONTROLLABLE_BITMAPS;
        delete backgroundBitmap;
        delete handleBitmap;
        backgroundBitmap = handleBitmap = nullptr;
    }
}

template <typename T, bool U>
void SControllable<T, U>::SetDoubleBuffer()
{
    delete bufferDevice;
    delete bufferBitmap;
    context::SDrawDevice* window = this->drawing ? this->drawing->GetDevice() : nullptr;
    bufferBitmap = new context::SDrawBitmap(nullptr, bufferSize[0], bufferSize[1], false);
    bufferDevice = new context::SDrawMemoryDevice(window, bufferBitmap);
    // A skin's handle image stays; only a missing one gets an empty bitmap.
    if ((typeFlags & CONTROLLABLE_BITMAPS) && !handleBitmap) {
        delete handleDevice;
        handleBitmap = new context::SDrawBitmap(nullptr, handleRect.Width(), handleRect.Height(), false);
        handleDevice = new context::SDrawMemoryDevice(window, handleBitmap);
    }
}

template <typename T, bool U>
int SControllable<T, U>::CalcHandleOffset()
{
    const float travel = static_cast<float>(handleZone.Width() - handleRect.Width());
    const float offset = static_cast<float>(handleZone.left) +
                         travel * static_cast<float>(this->value - this->minimum) * this->scale;
    return static_cast<int>(std::lrint(static_cast<double>(offset) + 8.326e-17));
}

template <typename T, bool U>
T SControllable<T, U>::Stepped(T v, bool up, T n) const
{
    const long long next = static_cast<long long>(v) + (up ? n : -static_cast<long long>(n));
    if (next < this->minimum) return this->minimum;
    if (next > this->maximum) return this->maximum;
    return static_cast<T>(next);
}

template <typename T, bool U>
void SControllable<T, U>::ValueChange(bool up, T n)
{
    const T v = Stepped(this->value, up, n);
    if (v == this->value) return;
    if (n == 1) {
        this->SetValue(v, false);
    } else if (!this->SetValueClipped(v)) {
        return;
    }
    this->Refresh();
    SendControlEvent();
}

template <typename T, bool U>
void SControllable<T, U>::SendControlEvent()
{
    this->SendEvent(EVENT_VALUE, EVENT_DATA_PARAM, static_cast<int>(this->value), 0.0f, nullptr, this, nullptr);
}

template <typename T, bool U>
Point SControllable<T, U>::Pointer(Point* screen)
{
    Point at(0, 0);
    Display* d = this->xdisplay;
    if (d && this->window) {
        Window root, child;
        int x, y, wx, wy;
        unsigned mask;
        if (XQueryPointer(d, DefaultRootWindow(d), &root, &child, &x, &y, &wx, &wy, &mask)) at = Point(x, y);
    }
    if (screen) *screen = at;
    return this->GetScreen2Client(at);
}

template <typename T, bool U>
bool SControllable<T, U>::InZone(const Point& p) const
{
    return p.x >= handleZone.left && p.x <= handleZone.right && p.y >= handleZone.top && p.y <= handleZone.bottom;
}

template <typename T, bool U>
void SControllable<T, U>::MouseStateChanged(bool* state, int change)
{
    Label::MouseStateChanged(state, change);
    if (!state) return;
    switch (change) {
    case MS_ENTERED:
        hovering = true;
        this->RefreshOutlines();
        return;
    case MS_MOVED:
        if (!hovering) {
            hovering = true;
            this->RefreshOutlines();
        }
        return;
    case MS_LEFT:
        hovering = false;
        this->RefreshOutlines();
        return;
    case MS_RELEASED:
        hovering = state[MS_INSIDE];
        this->RefreshOutlines();
        return;
    case MS_CAPTURED:
        // Only the handle zone keeps the mouse: a press elsewhere drags
        // nothing.
        if (state[MS_CAPTURED] && !InZone(Pointer(nullptr))) this->MouseReleaseCapture();
        return;
    case MS_LBUTTON:
    case MS_RBUTTON:
    case MS_MBUTTON:
    case MS_LDOUBLE:
    case MS_RDOUBLE:
    case MS_MDOUBLE: break;
    default: return;
    }
    if (!hovering) {
        hovering = true;
        this->RefreshOutlines();
    }
    Point screen;
    const Point p = Pointer(&screen);
    if (!InZone(p)) return;
    if (state[MS_MBUTTON] || state[MS_MDOUBLE]) {
        const bool up = p.x > handleZone.left + (handleZone.right - handleZone.left) / 2;
        if (this->SetValue(Stepped(this->value, up, 1), true)) {
            this->Refresh();
            SendControlEvent();
        }
        return;
    }
    // Where the press was, on the control's own pixel grid: the drag then
    // moves in whole 1x pixels at every factor.
    dragStart = this->Scale() > 1 ? this->GetClient2Screen(p) : screen;
    if (state[MS_CONTROL]) {
        const T before = this->value;
        this->ResetValue();
        if (this->value != before) this->Refresh();
    }
}

template class SControllable<int, false>;

}  // namespace gui
}  // namespace quor
