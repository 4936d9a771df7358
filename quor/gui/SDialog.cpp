#include "quor/gui/SDialog.h"

#include <cstdio>

#include "plugin/SGlobals.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SCursor.h"
#include "quor/gui/SEventDispatcher.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/threading/SThread.h"

namespace quor {
namespace gui {

namespace {

// How long a loop that reads the connection itself sleeps between looks at
// whether the dialog was closed by another thread: the toolkit's idle period.
constexpr int pollMs = 22;

}  // namespace

SDialog::SDialog(int style, int width, int height)
{
    SToolkitHold hold;
    dialogGlobals = new SGlobals();
    char text[48];
    snprintf(text, sizeof text, "SDialog (ID %i)", static_cast<int>(dialogGlobals->random.Integer()));
    const unsigned dialogId = dialogGlobals->TakeIdentifier();
    Create(dialogGlobals, nullptr, dialogId, text, style, 0, 0, width, height, 0, false);
    cursor = new SCursor();
    cursor->SetWindow(window);
    cursor->CreateDefault();
    dialogGlobals->cursor = cursor;
    titleFont = new context::SDrawFont(10, true, false, false, nullptr);
}

SDialog::~SDialog()
{
    SToolkitHold hold;
    destroying = true;
    CleanUp();
    // The children still point at the dialog's resources: they go first.
    DeleteChildren();
    delete titleFont;
    titleFont = nullptr;
    if (dialogGlobals) dialogGlobals->cursor = nullptr;
    delete cursor;
    cursor = nullptr;
    delete dialogGlobals;
    dialogGlobals = nullptr;
}

void SDialog::CloseDialog()
{
    SToolkitHold hold;
    Hide();
    shown = false;
    modalRunning = false;
}

void SDialog::ShowDialog()
{
    SToolkitHold hold;
    Show();
    Foreground(true);
    shown = true;
}

void SDialog::ShowModal()
{
    SToolkitHold hold;
    Show();
    Foreground(true);
    shown = true;
    modalRunning = true;
    if (xdisplay) XFlush(xdisplay);
    RunModal();
}

void SDialog::RunModal()
{
    SToolkitHold hold;
    Display* d = xdisplay;
    if (!d || !window) {
        modalRunning = false;
        return;
    }
    if (SEventDispatcher::Serving(d) && !SEventDispatcher::OnDispatchThread()) {
        // The dispatching thread reads this connection and will deliver the
        // click that closes us; reading it too would race it for events. It
        // stops when the server drops the connection: no click comes then.
        while (modalRunning && !destroying && SEventDispatcher::Serving(d)) {
            SToolkitRelease release;
            quor::threading::ThreadSleep(5);
        }
    } else if (ReadEvents(d)) {
        return;
    }
    modalRunning = false;
}

bool SDialog::ReadEvents(Display* d)
{
    const Atom protocols = SAtoms::Get(d, "WM_PROTOCOLS");
    while (modalRunning && !destroying) {
        if (XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            // Whatever window it is for: the caller decides what a close
            // request means, so the dialog stays as it is.
            if (e.type == ClientMessage && e.xclient.message_type == protocols) return true;
            SControl::eventProc(&e);
            continue;
        }
        if (!SEventDispatcher::WaitNested(d, pollMs)) break;
    }
    return false;
}

}  // namespace gui
}  // namespace quor
