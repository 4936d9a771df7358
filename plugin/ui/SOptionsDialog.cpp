#include "plugin/ui/SOptionsDialog.h"

#include <X11/Xlib.h>
#include <x86intrin.h>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "plugin/ui/SlateTooltip.h"
#include "quor/gui/SDial.h"
#include "quor/gui/SToolTip.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawing.h"
#include "quor/math/random/generator/SRandomPM.h"

namespace quor {
namespace gui {

using context::SDrawFont;

namespace {

constexpr int framedStyle = 0xcb0100;
constexpr int plainStyle = 0xc80100;
constexpr size_t firstRow = 4;  // children before the rows: tooltip, title, Cancel, OK

// A number for the window name, different from one dialog to the next.
unsigned NameNumber()
{
    quor::math::random::generator::SRandomPM pm;
    // 0 and the modulus are fixed points of the recurrence: keep inside.
    uint32_t seed = static_cast<uint32_t>(__rdtsc());
    pm.Seed(seed % 2147483646u + 1u);
    return pm.Integer() % 1000000u;
}

bool Inside(const Rectangle& r, const Point& p)
{
    return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom;
}

}  // namespace

SOptionsDialog::SOptionsDialog(SWindow* o, const SSize& s, bool f) : owner(o), framed(f), size(s)
{
    SToolkitHold hold;
    SGlobals* g = owner ? owner->GetGlobals() : nullptr;
    String title(64, "SOptionsDialog (ID %u)", NameNumber());
    Create(g, owner, g ? g->NextIdentifier() : 0, title.Text(), framed ? framedStyle : plainStyle, 0, 0,
           size.width > 160 ? size.width : 160, size.height, owner ? static_cast<int>(owner->GetWindow()) : 0,
           false);
    labels.reserve(8);
    EnableEventHandler(EVENT_CONTROL);
    EnableEventHandler(EVENT_RESULT);
    EnableEventHandler(EVENT_VALUE);
    const uint32_t slate = statdata.Colour(24), white = statdata.Colour(0);
    SetColours(slate, slate, slate, white, white, white, white);
    tooltip = MakeSlateTooltip(this);
    PrepareControls();
}

SOptionsDialog::~SOptionsDialog()
{
    SToolkitHold hold;
    destroying = true;
    Hide();
    shown = false;
    modal = false;
    RowTooltips(false);
    // The rows' value holders and the fonts go before the children that use
    // them: the children are deleted by the window, after this.
    valueHolders.clear();
    for (String* label : labels) delete label;
    labels.clear();
    CleanUp();
    DeleteChildren();
    delete boldFont;
    delete textFont;
    boldFont = textFont = nullptr;
}

unsigned SOptionsDialog::NextId() { return globals ? globals->NextIdentifier() : 0; }

void SOptionsDialog::PrepareControls()
{
    const int W = Width(), H = Height();
    const int parentWin = static_cast<int>(window);
    boldFont = new SDrawFont(10, true, false, false, nullptr);
    textFont = new SDrawFont(10, false, false, false, nullptr);
    auto colours = [](SControl* c, int a, int b, int p, int f, int fa, int t, int ta) {
        c->SetColours(statdata.Colour(a), statdata.Colour(b), statdata.Colour(p), statdata.Colour(f),
                      statdata.Colour(fa), statdata.Colour(t), statdata.Colour(ta));
    };

    titleLabel = new SLabel<false>(globals, this, NextId(), String(name).Append(" - Label").Text(), 0, 10, 10,
                                   W - 20, 20, parentWin, false);
    colours(titleLabel, 24, 24, 20, 2, 0, 0, 0);
    titleLabel->SetLabel("Title", boldFont, 0);
    titleLabel->SetLabelOffset(Point(0, 0));
    titleLabel->SetLabelColours(0, 0);
    titleLabel->SetAlignment(0);
    titleLabel->Show();
    Add(titleLabel);

    auto button = [&](const char* suffix, int x, const char* text) {
        auto* b = new SButton<false>(globals, this, NextId(), String(name).Append(suffix).Text(), SCS_ROUNDED, x,
                                     H - 40, 50, 20, parentWin, false);
        colours(b, 26, 20, 24, 2, 20, 0, 0);
        b->SetLabel(text, textFont, 0);
        b->SetLabelOffset(Point(0, 0));
        b->SetLabelColours(0, 19);
        b->SetType(BUTTON_TRIGGER);
        b->SetHoverColours(0, 0);
        b->AddEventListener(this, EVENT_CONTROL);
        b->Show();
        Add(b);
        return b;
    };
    cancelButton = button(" - Cancel", 20, "Cancel");
    okButton = button(" - OK", W - 70, "OK");
    Refresh();
}

void SOptionsDialog::AddCheckBox(const char* text, bool on, const char* tip)
{
    SToolkitHold hold;
    labels.push_back(new String(text ? text : ""));
    const int n = static_cast<int>(labels.size());
    String boxName(name);
    boxName.Append(" - Option(").Append(16, "%d", n).Append(")");
    auto* box = new SButton<false>(globals, this, NextId(), boxName.Text(), 0, Width() - 56, 20 * n + 16, 12, 12,
                                   static_cast<int>(window), false);
    box->SetColours(statdata.Colour(20), statdata.Colour(1), statdata.Colour(24), statdata.Colour(0),
                    statdata.Colour(0), statdata.Colour(0), statdata.Colour(0));
    box->SetLabel("", boldFont, 0);
    box->SetLabelOffset(Point(0, 0));
    box->SetLabelColours(0, 19);
    box->SetType(BUTTON_NOTIFYOFF);
    box->SetHoverColours(0, 0);
    if (owner) box->AddEventListener(owner, EVENT_CONTROL);
    if (on) box->SetValue(1, false);
    box->Show();
    box->SetTooltip(tooltip, tip ? tip : "", 0);
    Add(box);
    valueHolders.push_back(box);
}

void SOptionsDialog::AddValueBox(const char* text, int minimum, int maximum, int value, const char* tip)
{
    SToolkitHold hold;
    labels.push_back(new String(text ? text : ""));
    const int n = static_cast<int>(labels.size());
    String boxName(name);
    boxName.Append(" - Option(").Append(16, "%d", n).Append(")");
    auto* dial = new SDial<int>(globals, this, NextId(), boxName.Text(), SCS_ROUNDED, Width() - 56, 20 * n + 14, 32,
                                16, static_cast<int>(window), minimum, maximum, value);
    dial->SetColours(statdata.Colour(20), statdata.Colour(20), statdata.Colour(24), statdata.Colour(0),
                     statdata.Colour(0), statdata.Colour(0), statdata.Colour(0));
    dial->SetLabel("", boldFont, 0);
    dial->SetLabelOffset(Point(0, 0));
    dial->SetLabelColours(0, 19);
    dial->SetHoverColours(24, 23);
    dial->SetValueFont(boldFont);
    dial->SetControlColours(statdata.Colour(20), statdata.Colour(0), statdata.Colour(20), statdata.Colour(20));
    if (owner) dial->AddEventListener(owner, EVENT_VALUE);
    dial->Show();
    dial->SetTooltip(tooltip, tip ? tip : "", 0);
    Add(dial);
    valueHolders.push_back(dial);
}

SControl* SOptionsDialog::Row(size_t i) const
{
    return firstRow + i < children.size() ? children[firstRow + i].control : nullptr;
}

void SOptionsDialog::RowTooltips(bool on)
{
    for (size_t i = firstRow; i < children.size(); ++i) children[i].control->EnableTooltip(on);
}

void SOptionsDialog::ShowDialog(const char* title, bool isModal)
{
    SToolkitHold hold;
    modal = isModal;
    result = 0;
    titleLabel->SetLabel(title ? title : "");
    titleLabel->Refresh();
    Center();
    Show();
    shown = true;
    Foreground(true);
    if (!isModal) return;
    // Up the chain: whatever is enabled now is disabled until the dialog
    // closes, so that neither the panel nor its lamps take clicks meanwhile.
    for (SControl* a = parent; a; a = a->GetParent()) {
        SControl* above = a->GetParent();
        bool enabled = (a->Flags() & SCF_ENABLED) && (!above || above->Enabled() || a->IsModal());
        if (enabled) {
            a->Enable(false);
            disabledControls.push_back(a);
        }
    }
}

void SOptionsDialog::EnableOwners()
{
    if (!modal) return;
    for (SControl* c : disabledControls) c->Enable(true);
    // Only a viewable window can take the focus: Focus itself makes sure.
    if (!disabledControls.empty()) disabledControls.back()->Focus(true);
    disabledControls.clear();
}

void SOptionsDialog::ParseEvent(SEvent* e)
{
    if (!e || e->type != EVENT_CONTROL || !e->sender || !EventHandled(EVENT_CONTROL)) return;
    if (e->sender != okButton && e->sender != cancelButton) return;
    result = e->sender->GetId() == okButton->GetId() ? 1 : 0;
    EnableOwners();
    if (result == 1) SendResult();
    CloseDialog();
}

void SOptionsDialog::Cancel()
{
    SToolkitHold hold;
    if (!shown) return;
    result = 0;
    EnableOwners();
    CloseDialog();
}

void SOptionsDialog::SendResult()
{
    SendEvent(EVENT_RESULT, EVENT_DATA_PARAM, result, 0.0f, nullptr, this, nullptr);
}

void SOptionsDialog::CloseDialog()
{
    Hide();
    shown = false;
    modal = false;
    RowTooltips(false);
    // The switch square shows what the rows do: off (blue) when the dialog
    // is shown again, and the first click turns them on.
    if (tooltip) tooltip->EnableTooltips(false);
}

void SOptionsDialog::MouseStateChanged(bool* state, int change)
{
    SWindow::MouseStateChanged(state, change);
    if (change != MS_LBUTTON && change != MS_RBUTTON && change != MS_MBUTTON && change != MS_LDOUBLE &&
        change != MS_RDOUBLE && change != MS_MDOUBLE)
        return;
    if (!xdisplay || !tooltip) return;
    Window root, child;
    int rx, ry, wx, wy;
    unsigned mask;
    if (!XQueryPointer(xdisplay, DefaultRootWindow(xdisplay), &root, &child, &rx, &ry, &wx, &wy, &mask)) return;
    if (!Inside(tooltip->TipRect(), GetScreen2Client(rx, ry))) return;
    tooltip->ToggleTooltips();
    RefreshTiprect();
    RowTooltips(tooltip->TooltipsEnabled());
}

void SOptionsDialog::RefreshTiprect()
{
    if (!tooltip || !drawing) return;
    BeginPaint();
    tooltip->DrawTiprect(drawing);
    EndPaint();
}

void SOptionsDialog::Draw(const Rectangle&)
{
    if (!drawing) return;
    const int W = Width();
    SControl::Draw(Rectangle(0, 0, W, Height()));
    // The switch square with every paint, so that it never vanishes.
    if (tooltip) tooltip->DrawTiprect(drawing);
    if (labels.empty()) return;
    const uint32_t grey = statdata.Colour(23);
    drawing->SetPen(statdata.FindPen(grey));
    drawing->SetBrush(statdata.FindBrush(grey));
    drawing->SetFont(textFont);
    drawing->SetTextColour(grey, false);
    for (size_t i = 0; i < labels.size(); ++i) {
        const int top = 32 + 20 * static_cast<int>(i);
        drawing->DrawLabel(*labels[i], Rectangle(12, top, W - 60, top + 20), 0, Point(0, 0));
    }
}

}  // namespace gui
}  // namespace quor
