#include "quor/gui/SButton.h"

#include <X11/Xlib.h>

#include "plugin/SStaticData.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "quor/gui/context/SDrawing.h"

namespace quor {
namespace gui {

template <bool U>
SButton<U>::SButton(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w, int h, int pw,
                    bool flag)
    : Label(g, p, i, n, s, x, y, w, h, pw, flag)
{
    this->style |= SCS_HOVERFRAME;
}

template <bool U>
SButton<U>::~SButton()
{
    this->destroying = true;
    FreeBitmaps();
}

template <bool U>
void SButton<U>::FreeBitmaps()
{
    delete deviceOff;
    delete deviceOn;
    // One bitmap may serve both states.
    if (bitmapOn != bitmapOff) delete bitmapOn;
    delete bitmapOff;
    deviceOff = deviceOn = nullptr;
    bitmapOff = bitmapOn = nullptr;
}

template <bool U>
void SButton<U>::SetLabelColours(int enabled, int disabled)
{
    Label::SetLabelColours(enabled, disabled);
    labelColourActive = enabled;
}

template <bool U>
int SButton<U>::GetLabelColour()
{
    if (!this->Enabled()) return this->labelColourDisabled;
    return value == 1 ? labelColourActive : this->labelColour;
}

template <bool U>
void SButton<U>::SetLabelAlternative(const char* text, bool use)
{
    labelAlternative = text ? text : "";
    useAlternative = use;
}

template <bool U>
bool SButton<U>::SetValue(int v, bool notify)
{
    if (v == value) return false;
    value = v;
    this->SetDrawingMode(v != 0);
    this->Refresh();
    if (notify) this->SendEvent(EVENT_CONTROL, EVENT_DATA_PARAM, v, 0.0f, nullptr, this, nullptr);
    return true;
}

template <bool U>
void SButton<U>::Reset()
{
    SetValue(0, true);
    this->buttonFlag = true;
}

template <bool U>
void SButton<U>::SetBitmaps(context::SDrawBitmap* off, context::SDrawBitmap* on)
{
    // The bitmaps given may be the current ones, or one for both states:
    // none still in use is freed, and each is freed once.
    delete deviceOff;
    delete deviceOn;
    deviceOff = deviceOn = nullptr;
    if (bitmapOff != off && bitmapOff != on) delete bitmapOff;
    if (bitmapOn != bitmapOff && bitmapOn != off && bitmapOn != on) delete bitmapOn;
    bitmapOff = off;
    bitmapOn = on;
    context::SDrawDevice* window = this->drawing ? this->drawing->GetDevice() : nullptr;
    if (off && on && off->GetPixmap() && on->GetPixmap() && window) {
        type |= BUTTON_BITMAPS;
        deviceOff = new context::SDrawMemoryDevice(window, off);
        deviceOn = new context::SDrawMemoryDevice(window, on);
    } else {
        type &= ~BUTTON_BITMAPS;
        FreeBitmaps();
    }
}

template <bool U>
void SButton<U>::SetBitmaps(const char* const* xpmOff, const char* const* xpmOn, int w, int h)
{
    if (!xpmOff || !xpmOn) {
        type &= ~BUTTON_BITMAPS;
        return;
    }
    SetBitmaps(new context::SDrawBitmap(const_cast<char**>(xpmOff), w, h, false),
               new context::SDrawBitmap(const_cast<char**>(xpmOn), w, h, false));
}

template <bool U>
void SButton<U>::Toggle()
{
    if (value == 0) {
        if (type & BUTTON_MENU) {
            if (this->menuOpen) {
                this->CloseMenu();
                return;
            }
            Point below = this->GetClient2Screen(0, this->Height());
            this->ShowMenu(below);
        }
        SetValue(1, true);
        return;
    }
    if (type & BUTTON_MENU) this->CloseMenu();
    SetValue(0, (type & (BUTTON_NOTIFYOFF | BUTTON_NOTIFYOFF2)) != 0);
}

template <bool U>
void SButton<U>::PointerCheck(bool* state, bool refresh)
{
    bool inside = false;
    Display* d = this->xdisplay;
    if (d && this->window) {
        Window root, child;
        int rx, ry, x, y;
        unsigned mask;
        if (XQueryPointer(d, this->window, &root, &child, &rx, &ry, &x, &y, &mask)) {
            x = this->Unscaled(x);
            y = this->Unscaled(y);
            inside = x >= 0 && x <= this->Width() && y >= 0 && y <= this->Height();
        }
    }
    if (state) state[MS_INSIDE] = inside;
    hovering = inside;
    if (refresh) this->Refresh();
}

template <bool U>
void SButton<U>::MouseStateChanged(bool* s, int code)
{
    if (!this->reactive) return;
    const bool trigger = type & BUTTON_TRIGGER;
    const bool menu = type & BUTTON_MENU;
    // A right or middle press on a trigger: shown pressed, reported, released.
    auto flash = [this, s](int param) {
        this->SetDrawingMode(true);
        this->Refresh();
        this->SendEvent(EVENT_CONTROL, EVENT_DATA_PARAM, param, 0.0f, nullptr, this, nullptr);
        value = 0;
        this->SetDrawingMode(false);
        this->Refresh();
        PointerCheck(s, false);
        this->RefreshOutlines();
    };
    switch (code) {
    case MS_LBUTTON:
    case MS_LDOUBLE:
        hovering = true;
        if (trigger) {
            Toggle();
            value = 0;
            this->SetDrawingMode(false);
            PointerCheck(s, true);
        } else if (menu) {
            if (value == 0 && !this->buttonFlag) Toggle();
        } else if (!(type & BUTTON_NOTOGGLE)) {
            Toggle();
        }
        break;
    case MS_RBUTTON:
    case MS_RDOUBLE:
        if (menu) {
            if (value == 0 && !this->buttonFlag)
                Toggle();
            else
                this->buttonFlag = false;
        }
        hovering = true;
        if (trigger) flash(3);
        break;
    case MS_MBUTTON:
    case MS_MDOUBLE:
        if (menu) {
            this->CloseMenu();
            SetValue(0, true);
            break;
        }
        hovering = true;
        if (trigger) flash(2);
        break;
    case MS_RELEASED:
        if ((type & BUTTON_PUSH) && value == 1) Toggle();
        PointerCheck(s, false);
        this->RefreshOutlines();
        break;
    case MS_MOVED:
        if (!hovering) {
            hovering = true;
            this->RefreshOutlines();
        }
        break;
    case MS_ENTERED:
        hovering = true;
        this->RefreshOutlines();
        break;
    case MS_LEFT:
        if ((type & BUTTON_PUSH) && value == 1) Toggle();
        hovering = false;
        this->RefreshOutlines();
        break;
    default: break;
    }
}

template <bool U>
void SButton<U>::ClearState()
{
    this->CloseTip();
    if ((this->style & SCS_CAPTURE) && this->input && this->input->state[MS_CAPTURED]) this->MouseReleaseCapture();
    if (this->input) this->input->Reset();
    this->MouseTracker(false);
    hovering = false;
    if (type & BUTTON_PUSH) value = 0;
    // At once, not through a request: the caller wants it seen now.
    this->BeginPaint();
    Draw(Rectangle(0, 0, this->Width(), this->Height()));
    this->EndPaint();
}

template <bool U>
void SButton<U>::Draw(const Rectangle&)
{
    context::SDrawing* d = this->drawing;
    if (!d) return;
    const Rectangle r(0, 0, this->Width(), this->Height());
    if (!(type & BUTTON_BITMAPS)) {
        d->SetBackgroundColour(value > 0);
        if (this->style & SCS_ROUNDED) {
            d->DrawBackground(r, true);
            uint32_t fill = d->GetBackgroundColour();
            d->SetPen(statdata.FindPen(fill));
            d->SetBrush(statdata.FindBrush(fill));
            d->FillRoundedRect(r, this->rounding, this->rounding);
        } else {
            d->DrawBackground(r, false);
        }
        DrawLabel();
    } else {
        context::SDrawMemoryDevice* from = value == 0 ? deviceOff : deviceOn;
        if (from) d->DrawMemory(from, 0, 0, r.left, r.top, r.right, r.bottom);
    }
    DrawOutlines(r);
}

template <bool U>
void SButton<U>::DrawLabel()
{
    context::SDrawing* d = this->drawing;
    if (!d || !this->font) return;
    d->SetFont(this->font);
    uint32_t colour = statdata.Colour(GetLabelColour());
    d->SetTextColour(colour, value > 0);
    d->SetPen(statdata.FindPen(colour));
    if (value == 1 && useAlternative) {
        const Rectangle whole(0, 0, this->Width(), this->Height());
        this->DrawLines(&whole, labelAlternative.Text());
        return;
    }
    if (!this->lines.empty()) this->DrawLines(nullptr, nullptr);
}

template <bool U>
void SButton<U>::DrawOutlines(const Rectangle& r)
{
    context::SDrawing* d = this->drawing;
    if (!d) return;
    uint32_t colour;
    if (this->highlighted)
        colour = statdata.Colour(this->highlightColour);
    else if (!hovering)
        colour = (this->style & SCS_OUTLINE) ? d->GetFrameColour(this->Enabled(), value > 0)
                                             : d->GetParentBackgroundColour();
    else
        colour = statdata.Colour(value >= 1 ? hoverColourOn : hoverColourOff);
    this->Outline(r, colour);
}

template class SButton<false>;

}  // namespace gui
}  // namespace quor
