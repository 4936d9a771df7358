#pragma once
// The message box: a title line, a message of one or more lines and an OK
// button, sized to the texts. Only a left click on OK closes it.
//
// Layout, with mw the width of the widest message line (or of the title when
// wider) and mh the message lines' heights added up (0 for no message):
// the box is (mw + 64) x (mh + 128); the title label at (10, 10) is
// (mw + 44) x 20; the message label at (10, 40) is (mw + 44) x (mh + 38);
// the 40 x 20 button sits at ((mw + 64) / 2 - 20, mh + 88).
//
// Like every control, it is touched under the toolkit lock only (SToolkitHold).

#include "quor/data/datastring.h"
#include "quor/gui/SButton.h"
#include "quor/gui/SDialog.h"
#include "quor/gui/SLabel.h"
#include "quor/gui/context/SDrawFont.h"

namespace quor {
namespace gui {

class SMessageDialog : public SDialog {
public:
    // A 320 x 240 dialog with style 0x880101 and its three children (ids 1,
    // 2, 3 from the dialog's own counter), texts empty, hidden.
    SMessageDialog();
    ~SMessageDialog() override;

    // A left click on OK (param 1) closes the box.
    void ParseEvent(SEvent* e) override;

    // SetMessage, then shows and raises the box; returns at once.
    virtual void ShowMessage(const char* message, const char* title);
    // Keeps both texts (null as empty) and lays the box out; shows nothing.
    virtual void SetMessage(const char* message, const char* title);
    // For stand-alone programs only (see SDialog::ShowModal). Sized to the
    // message alone: the title does not widen the box here.
    virtual void ShowModal(const char* message, const char* title);
    using SDialog::ShowModal;

    const String& Message() const { return message; }
    const String& Title() const { return title; }
    SLabel<false>* TitleLabel() const { return titleLabel; }
    SLabel<false>* MessageLabel() const { return messageLabel; }
    SButton<false>* MessageButton() const { return messageButton; }
    context::SDrawFont* MessageFont() const { return messageFont; }

    using Extent = context::SDrawFont::Block;
    // The message block in `font`: the widest line and the lines' heights
    // added up (an empty line counts the line before it, or a "W"); 0 x 0
    // for an empty text or without a font.
    static Extent Measure(const char* text, const context::SDrawFont* font);

protected:
    // Places the children for a message block of mw x mh; the box itself
    // is sized by the caller.
    void Place(int mw, int mh);
    void SetTexts(const char* message, const char* title);

    SLabel<false>* titleLabel = nullptr;
    SLabel<false>* messageLabel = nullptr;
    SButton<false>* messageButton = nullptr;
    String message;
    String title;
    context::SDrawFont* messageFont = nullptr;
};

}  // namespace gui
}  // namespace quor
