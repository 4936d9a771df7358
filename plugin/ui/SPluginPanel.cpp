#include "plugin/ui/SPluginPanel.h"

#include <X11/Xlib.h>

#include <cmath>

#include "plugin/AudioEffect.h"
#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "plugin/ui/SImageLabel.h"
#include "plugin/ui/SlateTooltip.h"
#include "plugin/ui/SOptionsDialog.h"
#include "plugin/ui/images/images.h"
#include "quor/gui/SLabel.h"
#include "quor/gui/SToolTip.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawMemoryDevice.h"
#include "quor/gui/context/SDrawing.h"

using namespace quor::gui;
using quor::gui::context::SDrawBitmap;
using quor::gui::context::SDrawMemoryDevice;

const char* const SPluginPanel::webAddress = "www.quor.audio";

namespace {

struct CheckRow {
    const char* label;
    const char* tip;
};

const CheckRow midiRows[7] = {
    {"NoteOn", "Option:\nMonitoring\nNote On Events"}, {"NoteOff", "Option:\nMonitoring\nNote Off Events"},
    {"CC", "Option:\nMonitoring\nCC Events"},          {"PAT", "Option:\nMonitoring\nPAT Events"},
    {"AT", "Option:\nMonitoring\nAT Events"},          {"PC", "Option:\nMonitoring\nPC Events"},
    {"PB", "Option:\nMonitoring\nPB Events"},
};

bool IsPress(int change)
{
    return change == MS_LBUTTON || change == MS_RBUTTON || change == MS_MBUTTON || change == MS_LDOUBLE ||
           change == MS_RDOUBLE || change == MS_MDOUBLE;
}

bool Inside(const Rectangle& r, const Point& p)
{
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

// A parameter as the dialogs show it: a damaged one (a chunk may bring any
// number) is kept inside 0..1, and NaN becomes `fallback`.
float Sane(float p, float fallback)
{
    if (std::isnan(p)) return fallback;
    return p < 0.0f ? 0.0f : p > 1.0f ? 1.0f : p;
}

}  // namespace

SPluginPanel::SPluginPanel() = default;

SPluginPanel::SPluginPanel(SGlobals* g, SControl* p, unsigned i, const char* n, int s, int x, int y, int w, int h,
                           int pw, bool flag)
    : SWindow(g, p, i, n, s, x, y, w, h, pw, flag)
{
    SToolkitHold hold;
    EnableEventHandler(EVENT_CONTROL);
    EnableEventHandler(EVENT_VALUE);
    EnableEventHandler(EVENT_TIMER);
    EnableEventHandler(EVENT_RESULT);
    AddEventListener(this, EVENT_TIMER);
    bitmap = new SDrawBitmap(static_cast<const char* const*>(nullptr), Width(), Height(), false);
    memoryDevice = new SDrawMemoryDevice(drawing ? drawing->GetDevice() : nullptr, bitmap);
}

SPluginPanel::~SPluginPanel()
{
    SToolkitHold hold;
    destroying = true;
    CleanUp();
    delete memoryDevice;
    memoryDevice = nullptr;
    delete bitmap;
    bitmap = nullptr;
}

unsigned SPluginPanel::NextId() { return globals ? globals->NextIdentifier() : 0; }

void SPluginPanel::LoadControls()
{
    SToolkitHold hold;
    const int W = Width();
    const int win = static_cast<int>(window);
    const uint32_t slate = statdata.Colour(24), white = statdata.Colour(0);
    SetColours(slate, slate, slate, white, white, white, white);

    tooltip = MakeSlateTooltip(this);

    titleLogo = new SImageLabel(globals, this, static_cast<int>(NextId()), "(Bkwr) Label: Title", 0, 10, 10, 80, 25, win);
    titleLogo->LoadBackground(const_cast<char**>(quor::images::text_logo), 80, 25);
    titleLogo->AddEventListener(this, EVENT_CONTROL);
    titleLogo->Show();
    Add(titleLogo);
    titleRect = titleLogo->GetRect();

    const int x = W - 66;
    context::SDrawFont* lampFont = statdata.FindFont(8, false);
    auto lamp = [&](const char* lampName, int left, const char* tip) {
        auto* l = new SLabel<false>(globals, this, NextId(), lampName, 0, left, 42, 16, 16, win, false);
        l->SetColours(statdata.Colour(20), statdata.Colour(20), statdata.Colour(26), white, white, white, white);
        l->SetLabel("", lampFont, 0);
        l->AddEventListener(this, EVENT_CONTROL);
        l->SetTooltip(tooltip, tip, 0);
        l->Show();
        Add(l);
        return l;
    };
    audioIndicator = lamp("(Bkwr) Label: Audio", x, "Display:\nAudio Event Indicator");
    midiIndicator = lamp("(Bkwr) Label: Midi", x + 18, "Display:\nMidi Event Indicator");

    audioOptions = new SOptionsDialog(this, SOptionsDialog::SSize{160, 100}, false);
    audioOptions->AddValueBox("Threshold (dB)", -100, 0, -50, "Option:\nSet Audio Threshold");
    audioOptions->AddEventListener(this, EVENT_RESULT);
    Add(audioOptions);

    midiOptions = new SOptionsDialog(this, SOptionsDialog::SSize{160, 228}, false);
    for (const CheckRow& row : midiRows) midiOptions->AddCheckBox(row.label, false, row.tip);
    midiOptions->AddEventListener(this, EVENT_RESULT);
    Add(midiOptions);

    RefreshPanel();
}

void SPluginPanel::RefreshPanel()
{
    if (!drawing || !memoryDevice) return;
    const int W = Width(), H = Height();
    {
        context::SDrawDeviceSwap swap(*drawing, memoryDevice);
        SControl::Draw(Rectangle(0, 0, W, H));
        drawing->SetFont(statdata.FindFont(7, false));
        drawing->SetTextColour(statdata.Colour(23), false);
        drawing->DrawText(webAddress, W / 2 - 31, 13);
        drawing->DrawText("VST by Steinberg", W / 2 - 37, 22);
        const uint32_t plate = statdata.Colour(26);
        drawing->SetPen(statdata.FindPen(plate));
        drawing->SetBrush(statdata.FindBrush(plate));
        drawing->FillRoundedRect(Rectangle(14, 36, 88, 63), 7, 7);
        drawing->SetTextColour(statdata.Colour(0), false);
        drawing->DrawRotatedText("Audio", Rectangle(18, H - 35, 28, H - 15), 90, 0, Point(0, 0));
        drawing->DrawRotatedText("Midi", Rectangle(W - 28, H - 36, W - 18, H - 16), 90, 0, Point(0, 0));
    }
    Refresh();
}

void SPluginPanel::Draw(const Rectangle&)
{
    if (!drawing || !memoryDevice || !bitmap) return;
    drawing->DrawMemory(memoryDevice, 0, 0, 0, 0, Width(), Height());
    if (tooltip) tooltip->DrawTiprect(drawing);
}

void SPluginPanel::SetLamp(SLabel<false>* lamp, int colour)
{
    if (!lamp) return;
    const uint32_t pixel = statdata.Colour(colour);
    if (lamp->GetBackgroundColour() == pixel) return;
    lamp->SetBackgroundColour(pixel);
    lamp->Refresh();
}

void SPluginPanel::RefreshControls(long code)
{
    SToolkitHold hold;
    switch (code) {
    case -1:
        SetLamp(audioIndicator, 20);
        SetLamp(midiIndicator, 20);
        break;
    case 8: SetLamp(audioIndicator, 20); break;
    case 9: SetLamp(audioIndicator, 13); break;
    case 12: SetLamp(midiIndicator, 20); break;
    case 13: SetLamp(midiIndicator, 2); break;
    default: break;
    }
}

void SPluginPanel::ParseEvent(SEvent* e)
{
    if (!e || !e->sender || !effect) return;
    // The control itself, not only its id: ids start again from the shared
    // counter's exchanges, and a dialog's result taken for the other
    // dialog's would write the wrong parameters.
    auto is = [e](SControl* c) { return c && c == e->sender && c->GetId() == e->sender->GetId(); };
    if (e->type == EVENT_CONTROL) {
        if (is(titleLogo)) {
            titleLogo->Hide();
        } else if (is(audioIndicator)) {
            if (tooltip) {
                tooltip->Close();
                tooltip->EnableTooltips(false);
            }
            // dB = p x -100, exact halves upwards (-55.5 shows -55).
            const float p = Sane(effect->getParameter(0), 0.5f);
            const float dB = p * -100.0f;
            const int shown = static_cast<int>(std::floor(dB + 8.326e-17f + 0.5f));
            if (!audioOptions->ValueHolders().empty()) audioOptions->ValueHolders()[0]->SetValue(shown, false);
            audioOptions->ShowDialog("Audio Options", true);
        } else if (is(midiIndicator)) {
            if (tooltip) {
                tooltip->Close();
                tooltip->EnableTooltips(false);
            }
            const auto& holders = midiOptions->ValueHolders();
            for (size_t i = 0; i < holders.size(); ++i) {
                const float p = Sane(effect->getParameter(static_cast<VstInt32>(i + 1)), 1.0f);
                holders[i]->SetValue(static_cast<int>(std::lround(p)), false);
            }
            midiOptions->ShowDialog("Midi Options", true);
        }
    } else if (e->type == EVENT_RESULT && e->param != 0) {
        if (is(audioOptions)) {
            const auto& holders = audioOptions->ValueHolders();
            const int v = holders.empty() ? -1 : holders[0]->GetValue();
            effect->setParameter(0, static_cast<float>(v) * -0.01f);
        } else if (is(midiOptions)) {
            const auto& holders = midiOptions->ValueHolders();
            for (size_t i = 0; i < holders.size(); ++i)
                effect->setParameter(static_cast<VstInt32>(i + 1), static_cast<float>(holders[i]->GetValue()));
        }
    }
}

void SPluginPanel::MouseStateChanged(bool* state, int change)
{
    SWindow::MouseStateChanged(state, change);
    if (!IsPress(change) || !xdisplay) return;
    Window root, child;
    int rx, ry, wx, wy;
    unsigned mask;
    if (!XQueryPointer(xdisplay, DefaultRootWindow(xdisplay), &root, &child, &rx, &ry, &wx, &wy, &mask)) return;
    const Point p = GetScreen2Client(rx, ry);
    if (tooltip && Inside(tooltip->TipRect(), p)) {
        tooltip->ToggleTooltips();
        BeginPaint();
        tooltip->DrawTiprect(drawing);
        EndPaint();
    }
    if (titleLogo && Inside(titleRect, p)) titleLogo->Show();
}

void SPluginPanel::CancelDialogs()
{
    SToolkitHold hold;
    if (audioOptions) audioOptions->Cancel();
    if (midiOptions) midiOptions->Cancel();
}
