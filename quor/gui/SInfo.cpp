#include "quor/gui/SInfo.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cerrno>

#include "quor/data/datastring.h"
#include "quor/gui/SDisplay.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/gui/SScaleFactor.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/system/SSystemData.h"

namespace quor {
namespace gui {

namespace {

// Plain pointers and flags, constant-initialised: they outlive every static
// destructor, so a message during unload still finds out that the box is gone.
SMessageDialog* box = nullptr;
bool boxGone = false;

// Made right after the box, so after everything the box's construction set
// up on first use (the window registry, the atom cache, the dispatching
// thread): it is destroyed before any of them, and before the connection
// closes.
struct BoxReaper {
    ~BoxReaper()
    {
        SToolkitHold hold;
        SMessageDialog* going = box;
        box = nullptr;
        boxGone = true;
        delete going;
    }
};

void WriteLine(const char* message, const char* title)
{
    data::datastring<32, char> line(title ? title : "");
    line.Append(": ");
    for (const char* p = message ? message : ""; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\n')
            line.Append("\\n");
        else if (c == '\\')
            line.Append("\\\\");
        else if (c < 0x20 || c == 0x7F)
            line.Append(8, "\\x%02X", c);
        else
            line.Append(static_cast<char>(c));
    }
    line.Append('\n');
    // One write, so that lines from several threads never interleave.
    const char* text = line.Text();
    size_t left = line.Size();
    while (left > 0) {
        ssize_t done = write(STDERR_FILENO, text, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) break;
        text += done;
        left -= static_cast<size_t>(done);
    }
}

}  // namespace

void SInfo(const char* message, const char* title)
{
    // Line and box in one order: with several threads the box shows the
    // message that the log ends with.
    SToolkitHold hold;
    WriteLine(message, title);
    if (boxGone) return;
    // A box made on a connection that has been lost since goes (without a
    // word to the server), and the box comes back on a fresh connection.
    if (box && box->Orphaned()) {
        delete box;
        box = nullptr;
    }
    context::ReviveOwnDisplay();
    // Only our own connection: the toolkit's thread serves it whatever the
    // host does, before any editor exists and after.
    if (!__atomic_load_n(&dps, __ATOMIC_ACQUIRE)) return;
    // Nothing may unwind into the host; the line is out already.
    try {
        if (!box) {
            box = new SMessageDialog();
            static BoxReaper reaper;
        }
        Display* d = box->GetDisplay();
        if (!d || !box->GetWindow()) return;
        box->SetScale(ChooseScale(d, true));
        box->SetMessage(message, title);
        if (SDisplay* monitors = sd.DisplayInfo()) monitors->CenterOnWindow(box);
        XRaiseWindow(d, box->GetWindow());
        box->ShowDialog();
        XFlush(d);
    } catch (...) {
    }
}

SMessageDialog* SInfoBox() { return box; }

}  // namespace gui
}  // namespace quor
