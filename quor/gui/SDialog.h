#pragma once
// A top-level window on the root with shared resources of its own (its
// controls never use an editor's), its own cursor and a bold title font,
// shown modelessly (ShowDialog) or with a modal loop (ShowModal).
//
// ShowModal is for stand-alone programs only. A modal loop serves every
// event of the dialog's connection until the dialog closes; the plug-in must
// never run one on the host's display (it would take the host's events from
// it), and nothing in the plug-in calls it. On the toolkit's own connection
// the dispatching thread already reads the events: there the loop only waits
// for the dialog to close (or, run from one of that thread's own handlers,
// reads the events itself), so it never becomes a second reader.

#include <atomic>

#include "quor/gui/SWindow.h"

class SGlobals;

namespace quor {
namespace gui {
namespace context {
class SDrawFont;
}

class SCursor;

// The style of a message box: every event, edge markers, a dialog, and bit 0x1.
constexpr int SDIALOG_STYLE = 0x880101;

class SDialog : public SWindow {
public:
    // Makes the dialog's shared resources, then the window: named
    // "SDialog (ID n)", with the id taken from those resources' counter,
    // at (0, 0) on the root window, hidden. Then its cursor (the orange
    // arrow) and its title font (size 10, bold).
    explicit SDialog(int style = SDIALOG_STYLE, int width = 320, int height = 240);
    ~SDialog() override;

    // Hides it and ends a modal loop.
    void CloseDialog() override;
    // Shows and raises it; returns at once.
    virtual void ShowDialog();
    // Shows and raises it, then serves events until CloseDialog (the loop
    // ends, `ModalRunning` false) or, where the loop reads the events
    // itself, until a window-manager close request (the dialog stays shown
    // and `ModalRunning` stays true: the caller decides). Never from the
    // plug-in; see above. The toolkit lock is let go while it waits, at
    // every level: callers further up must expect the toolkit to change.
    virtual void ShowModal();

    bool Shown() const { return shown; }
    bool ModalRunning() const { return modalRunning.load(); }
    SGlobals* DialogGlobals() const { return dialogGlobals; }
    SCursor* Cursor() const { return cursor; }
    context::SDrawFont* TitleFont() const { return titleFont; }

protected:
    // The loop of ShowModal, with the dialog already shown.
    void RunModal();

    bool shown = false;
    // Cleared by another thread's CloseDialog while a waiting loop reads it.
    std::atomic<bool> modalRunning{false};
    context::SDrawFont* titleFont = nullptr;
    SGlobals* dialogGlobals = nullptr;
    SCursor* cursor = nullptr;

private:
    // Reads the connection itself: where nobody else does, or on the
    // dispatching thread. True when a close request ended it.
    bool ReadEvents(Display* display);
};

}  // namespace gui
}  // namespace quor
