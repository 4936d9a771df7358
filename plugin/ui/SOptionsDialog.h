#pragma once
// A small dialog with a title, a column of option rows (a text on the left,
// a check box or a value dial on the right) and the buttons "Cancel" and
// "OK". The owner fills it with rows, shows it, reads and writes the rows'
// values through `valueHolders`, and hears EVENT_RESULT (param 1) when the
// user confirms with OK. Cancel sends nothing.

#include <vector>

#include "quor/data/datastring.h"
#include "quor/gui/SButton.h"
#include "quor/gui/SIValueHolder.h"
#include "quor/gui/SLabel.h"
#include "quor/gui/SWindow.h"
#include "quor/math/geom/SSize.h"

namespace quor {
namespace gui {
namespace context {
class SDrawFont;
}
class SToolTip;

class SOptionsDialog : public SWindow {
public:
    typedef quor::math::geom::SSize SSize;

    // `framed` asks for a window the window manager may frame; otherwise an
    // undecorated one. Narrower than 160 pixels is widened to 160.
    SOptionsDialog(SWindow* owner, const SSize& size, bool framed);
    ~SOptionsDialog() override;

    void CloseDialog() override;
    void Draw(const Rectangle& r) override;
    void MouseStateChanged(bool* state, int change) override;
    void ParseEvent(SEvent* e) override;

    // Shows the dialog centred on its monitor; a modal one disables the
    // owner chain until it closes.
    virtual void ShowDialog(const char* title, bool modal);
    virtual void SendResult();
    virtual void RefreshTiprect();
    virtual void AddCheckBox(const String& text, bool on, const char* tip) { AddCheckBox(text.Text(), on, tip); }
    virtual void AddCheckBox(const char* text, bool on, const char* tip);
    virtual void AddValueBox(const String& text, int minimum, int maximum, int value, const char* tip)
    {
        AddValueBox(text.Text(), minimum, maximum, value, tip);
    }
    virtual void AddValueBox(const char* text, int minimum, int maximum, int value, const char* tip);
    virtual void AddChoiceBox(String*, int) {}

    // Closes as Cancel would: the owner chain enabled again, no result.
    void Cancel();

    const std::vector<SIValueHolder<int>*>& ValueHolders() const { return valueHolders; }
    int Result() const { return result; }
    bool Shown() const { return shown; }
    SToolTip* Tooltip() const { return tooltip; }
    SButton<false>* OkButton() const { return okButton; }
    SButton<false>* CancelButton() const { return cancelButton; }
    // The control of row i (0-based), or null.
    SControl* Row(size_t i) const;

protected:
    void PrepareControls();
    // Enables what showing disabled, in order; focus to the last, if any.
    void EnableOwners();
    // Every row control's tooltip on or off.
    void RowTooltips(bool on);
    unsigned NextId();

    SWindow* owner;
    SToolTip* tooltip = nullptr;
    SLabel<false>* titleLabel = nullptr;
    SButton<false>* okButton = nullptr;
    SButton<false>* cancelButton = nullptr;
    context::SDrawFont* boldFont = nullptr;
    context::SDrawFont* textFont = nullptr;
    int result = -1;
    bool framed;
    SSize size;
    std::vector<String*> labels;
    std::vector<SIValueHolder<int>*> valueHolders;
    bool shown = false;
};

}  // namespace gui
}  // namespace quor
