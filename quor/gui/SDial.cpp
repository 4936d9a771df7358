#include "quor/gui/SDial.h"

#include "plugin/SStaticData.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

template <typename T>
SDial<T>::SDial(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w, int h, int pw,
                T minimum, T maximum, T initial)
    : Controllable(g, p, i, n, s, x, y, w, h, pw, false)
{
    this->value = initial;
    this->minimum = minimum;
    this->maximum = maximum;
    this->SetValueDef(initial);
    this->CalcValueMed();
    this->scale = maximum != minimum ? 1.0f / static_cast<float>(maximum - minimum) : 1.0f;
    positions = static_cast<int>(maximum - minimum) + 1;
    resetValue = initial;
    this->bufferSize[0] = w;
    this->bufferSize[1] = h;
    this->handleRect = Rectangle(0, 0, w, h);
    this->handleZone = Rectangle(0, 0, w, h);
    this->SetDoubleBuffer();
}

template <typename T>
SDial<T>::~SDial()
{
    this->destroying = true;
}

template <typename T>
bool SDial<T>::SetValue(T v, bool)
{
    if (v == this->value) return false;
    this->value = v;
    this->Refresh();
    return true;
}

template <typename T>
void SDial<T>::SetTextTableA(const std::vector<String>& table, bool use)
{
    textTableA = table;
    useTextTableA = use;
}

template <typename T>
void SDial<T>::SetTextTableB(const std::vector<String>& table, bool use)
{
    textTableB = table;
    useTextTableB = use;
}

template <typename T>
void SDial<T>::SetDragPixels(int left, int right)
{
    leftDragPixels = left;
    rightDragPixels = right;
}

template <typename T>
void SDial<T>::SetSpecialColour(int colour, T v, bool on)
{
    specialColour = colour;
    specialValue = v;
    specialColouring = on;
}

template <typename T>
void SDial<T>::MouseStateChanged(bool* state, int change)
{
    Controllable::MouseStateChanged(state, change);
    if (!state || change != MS_WHEEL) return;
    if (state[MS_WHEELUP])
        this->ValueChange(true, 1);
    else if (state[MS_WHEELDOWN])
        this->ValueChange(false, 1);
}

// Up the screen is up the range. L, the reference, moves to the pointer with
// every step taken.
template <typename T>
void SDial<T>::MousePosChanged(int, int dy)
{
    bool* state = this->MouseState();
    if (!state || !state[MS_CAPTURED] || dy == 0 || !this->input) return;
    const int y = this->GetClient2Screen(this->input->lastX, this->input->lastY).y;
    int& L = this->dragStart.y;
    // y and L are screen pixels, thresholds the control's.
    const int leftStep = leftDragPixels * this->Scale();
    const int rightStep = rightDragPixels * this->Scale();
    if (state[MS_LBUTTON] && steppedDrag) {
        if (dy < 0 && y < L - leftStep) {
            this->ValueChange(true, 1);
            L = y;
        } else if (dy > 0 && y > L + leftStep) {
            this->ValueChange(false, 1);
            L = y;
        }
    } else if (state[MS_LBUTTON]) {
        if (dy < 0 && y < L) {
            this->ValueChange(true, static_cast<T>(-dy));
            L = y;
        } else if (dy > 0 && y > L) {
            this->ValueChange(false, static_cast<T>(dy));
            L = y;
        }
    } else if (state[MS_RBUTTON]) {
        if (dy < 0 && y < L - rightStep) {
            this->ValueChange(true, 1);
            L = y;
        } else if (dy > 0 && y > L + rightStep) {
            this->ValueChange(false, 1);
            L = y;
        }
    }
}

template <typename T>
void SDial<T>::Draw(const Rectangle&)
{
    context::SDrawing* d = this->drawing;
    if (!d || !this->bufferDevice) return;
    const Rectangle r(0, 0, this->Width(), this->Height());
    {
        context::SDrawDeviceSwap swap(*d, this->bufferDevice);
        if ((this->typeFlags & CONTROLLABLE_BITMAPS) && this->backgroundDevice) {
            d->DrawMemory(this->backgroundDevice, 0, 0, 0, 0, r.right, r.bottom);
        } else if (this->typeFlags & CONTROLLABLE_LABEL) {
            SLabel<false>::Draw(r);
        } else if (this->style & SCS_ROUNDED) {
            d->DrawBackground(r, true);
            const uint32_t fill = d->GetBackgroundColour();
            d->SetPen(statdata.FindPen(fill));
            d->SetBrush(statdata.FindBrush(fill));
            d->FillRoundedRect(r, 5, 5);
        } else {
            d->DrawBackground(r, false);
        }
        DrawHandle();
        DrawValue();
        DrawOutlines(r);
    }
    d->DrawMemory(this->bufferDevice, 0, 0, 0, 0, r.right, r.bottom);
}

template <typename T>
void SDial<T>::DrawHandle()
{
    context::SDrawing* d = this->drawing;
    if (!d) return;
    const Rectangle& h = this->handleRect;
    if (this->typeFlags & CONTROLLABLE_BITMAPS) {
        if (this->backgroundDevice && this->handleDevice)
            d->DrawMemory(this->handleDevice, h.left, h.top, 0, 0, h.Width(), h.Height());
        return;
    }
    this->SetBackgroundMode(true);
    const uint32_t colour = this->controlColours[3];
    d->SetPen(statdata.FindPen(colour));
    d->SetBrush(statdata.FindBrush(colour));
    if (this->style & SCS_ROUNDED)
        d->FillRoundedRect(h, 5, 5);
    else
        d->FillRect(h);
}

template <typename T>
typename SDial<T>::String SDial<T>::ValueText() const
{
    // Tables are indexed by the value itself: only values with an entry
    // have a text.
    const T v = this->value;
    if (useTextTableA && v >= 0 && static_cast<size_t>(v) < textTableA.size())
        return textTableA[static_cast<size_t>(v)];
    if (!useTextTableA && useTextTableB && v >= 0 && static_cast<size_t>(v) < textTableB.size())
        return textTableB[static_cast<size_t>(v)];
    return String(32, "%i", static_cast<int>(v));
}

template <typename T>
void SDial<T>::DrawValue()
{
    context::SDrawing* d = this->drawing;
    if (!d || !this->valueFont) return;
    d->SetFont(this->valueFont);
    const int index = specialColouring && this->value == specialValue ? specialColour : this->GetLabelColour();
    const uint32_t colour = statdata.Colour(index);
    d->SetTextColour(colour, false);
    d->SetPen(statdata.FindPen(colour));
    Rectangle r = this->handleRect;
    r.Offset(this->offset.x, this->offset.y);
    d->DrawLabel(ValueText(), r, 0, Point(0, 0));
}

template <typename T>
void SDial<T>::DrawOutlines(const Rectangle& r)
{
    context::SDrawing* d = this->drawing;
    if (!d) return;
    d->SetPen(statdata.FindPen(statdata.Colour(this->hovering ? this->hoverColourOn : this->hoverColourOff)));
    if (this->style & SCS_ROUNDED)
        d->DrawRoundedRect(r, 5, 5);
    else
        d->DrawRect(r);
}

template class SDial<int>;

}  // namespace gui
}  // namespace quor
