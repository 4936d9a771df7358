#include "quor/gui/SMessageDialog.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "plugin/SGlobals.h"
#include "plugin/SStaticData.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawFont.h"

namespace quor {
namespace gui {

namespace {

const char* OrEmpty(const char* text) { return text ? text : ""; }

}  // namespace

SMessageDialog::Extent SMessageDialog::Measure(const char* text, const context::SDrawFont* font)
{
    return font ? font->TextBlock(text) : Extent();
}

SMessageDialog::SMessageDialog()
{
    SToolkitHold hold;
    EnableEventHandler(EVENT_CONTROL);
    SetColours(statdata.Colour(24), statdata.Colour(24), statdata.Colour(20), statdata.Colour(2), statdata.Colour(0),
               statdata.Colour(0), statdata.Colour(0));
    messageFont = new context::SDrawFont(7, false, false, false, nullptr);

    const int W = Width(), H = Height();
    const int parentWindow = static_cast<int>(window);
    String base(name.Text());

    String childName(base.Text());
    childName.Append(" - TitleLabel");
    titleLabel = new SLabel<false>(dialogGlobals, this, dialogGlobals->NextIdentifier(), childName.Text(), 0, 10, 10,
                                   W - 20, 30, parentWindow, false);
    titleLabel->SetColours(statdata.Colour(24), statdata.Colour(24), statdata.Colour(20), statdata.Colour(2),
                           statdata.Colour(2), statdata.Colour(2), statdata.Colour(2));
    titleLabel->SetLabel("", titleFont, 0);
    titleLabel->SetLabelColours(0, 0);
    titleLabel->Show();
    Add(titleLabel);

    childName = base.Text();
    childName.Append(" - MessageLabel");
    messageLabel = new SLabel<false>(dialogGlobals, this, dialogGlobals->NextIdentifier(), childName.Text(), 0, 10,
                                     40, W - 20, H - 90, parentWindow, false);
    messageLabel->SetColours(statdata.Colour(24), statdata.Colour(24), statdata.Colour(20), statdata.Colour(2),
                             statdata.Colour(0), statdata.Colour(0), statdata.Colour(0));
    messageLabel->SetLabel("", messageFont, 0);
    messageLabel->SetLabelColours(0, 0);
    messageLabel->Show();
    Add(messageLabel);

    childName = base.Text();
    childName.Append(" - MessageButton");
    messageButton = new SButton<false>(dialogGlobals, this, dialogGlobals->NextIdentifier(), childName.Text(),
                                       SCS_ROUNDED, W / 2 - 20, H - 40, 40, 20, parentWindow, false);
    messageButton->SetColours(statdata.Colour(26), statdata.Colour(23), statdata.Colour(24), statdata.Colour(2),
                              statdata.Colour(20), statdata.Colour(0), statdata.Colour(0));
    messageButton->SetLabel("OK", titleFont, 0);
    messageButton->SetLabelColours(0, 19);
    messageButton->SetType(BUTTON_TRIGGER);
    messageButton->SetHoverColours(23, 23);
    messageButton->AddEventListener(this, EVENT_CONTROL);
    messageButton->Show();
    Add(messageButton);

    Refresh();
}

SMessageDialog::~SMessageDialog()
{
    SToolkitHold hold;
    destroying = true;
    CleanUp();
    // The labels draw with the message font: they go before it.
    DeleteChildren();
    titleLabel = messageLabel = nullptr;
    messageButton = nullptr;
    delete messageFont;
    messageFont = nullptr;
}

void SMessageDialog::ParseEvent(SEvent* e)
{
    if (!e || !EventHandled(e->type)) return;
    if (e->type != EVENT_CONTROL || e->param != 1 || !messageButton || e->sender != messageButton) return;
    CloseDialog();
    if (context::SInput* in = messageButton->GetInput()) {
        if ((messageButton->Style() & SCS_CAPTURE) && in->state[MS_CAPTURED]) messageButton->MouseReleaseCapture();
        in->Reset();
    }
}

void SMessageDialog::SetTexts(const char* m, const char* t)
{
    message = OrEmpty(m);
    title = OrEmpty(t);
}

void SMessageDialog::Place(int mw, int mh)
{
    titleLabel->SetSize(mw + 44, 20);
    messageLabel->SetSize(mw + 44, mh + 38);
    messageButton->SetPosition((mw + 64) / 2 - 20, mh + 88);
    messageButton->Refresh();
}

void SMessageDialog::SetMessage(const char* m, const char* t)
{
    SToolkitHold hold;
    SetTexts(m, t);
    const Extent block = Measure(message.Text(), messageFont);
    SetTitleText(title.Text());
    titleLabel->SetLabel(title.Text());
    const int titleWidth = titleFont ? titleFont->TextWidth(title.Text()) : 0;
    messageLabel->SetLabel(message.Text(), messageFont, 0);
    messageLabel->Refresh();
    const int mw = std::max(block.width, titleWidth);
    Place(mw, block.height);
    SetSize(mw + 64, block.height + 128);
    // A box already on screen shows the new texts at once, not only where
    // the new size happens to expose it.
    titleLabel->Refresh();
    Refresh();
}

void SMessageDialog::ShowMessage(const char* m, const char* t)
{
    SToolkitHold hold;
    SetMessage(m, t);
    Show();
    Foreground(true);
    shown = true;
}

void SMessageDialog::ShowModal(const char* m, const char* t)
{
    SToolkitHold hold;
    SetTexts(m, t);
    const Extent block = Measure(message.Text(), messageFont);
    SetSize(block.width + 64, block.height + 128);
    SetTitleText(title.Text());
    titleLabel->SetLabel(title.Text());
    titleLabel->SetSize(block.width + 44, 20);
    messageLabel->SetLabel(message.Text());
    messageLabel->SetSize(block.width + 44, block.height + 38);
    messageLabel->Refresh();
    messageButton->SetPosition((block.width + 64) / 2 - 20, block.height + 88);
    messageButton->Refresh();
    titleLabel->Refresh();
    Refresh();
    SDialog::ShowModal();
}

}  // namespace gui
}  // namespace quor
