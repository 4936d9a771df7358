#include "quor/gui/context/SDisplayHandles.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "plugin/SStaticData.h"
#include "quor/data/datastring.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SConnectionWatch.h"
#include "quor/gui/SToolkitLock.h"
#include "quor/gui/SXErrorTrap.h"
#include "quor/system/SSystemData.h"
#include "quor/threading/SMutexOS.h"

Display* dp = nullptr;
Display* dps = nullptr;

namespace quor {
namespace gui {
namespace context {

// dp is written by the host's GUI thread and read by the idle and timer
// threads, hence the atomic accesses on a plain pointer.
Display* CurrentDisplay()
{
    Display* own = __atomic_load_n(&dps, __ATOMIC_ACQUIRE);
    return own ? own : __atomic_load_n(&dp, __ATOMIC_ACQUIRE);
}

void AdoptHostDisplay(Display* host)
{
    Display* expected = nullptr;
    __atomic_compare_exchange_n(&dp, &expected, host, false, __ATOMIC_ACQ_REL, __ATOMIC_ACQUIRE);
    if (!host) return;
    // Hosts may open editors from several threads at once: the monitor
    // layout and the colour table are gathered by one of them.
    static quor::threading::SMutexOS gathering;
    quor::threading::SMutexLock hold(gathering);
    sd.getDisplayInfos();
    if (!statdata.coloursLoaded) statdata.AddColours();
}

bool DisplayOpen(Display* display)
{
    return display &&
           (display == __atomic_load_n(&dps, __ATOMIC_ACQUIRE) || display == __atomic_load_n(&dp, __ATOMIC_ACQUIRE));
}

void ForgetHostDisplay()
{
    __atomic_store_n(&dp, static_cast<Display*>(nullptr), __ATOMIC_RELEASE);
}

namespace {

// Connections the server dropped: their structures stay until unload, since
// controls made on them may still compare against them. Plain storage: the
// list is read by the static destructor that closes them, after the
// function-local statics made later have gone.
constexpr int maxLost = 64;
std::mutex lostLock;
Display* lostDisplays[maxLost] = {};
int lostCount = 0;  // under lostLock
bool ownLost = false;  // under lostLock

void Say(const char* text)
{
    size_t left = strlen(text);
    while (left > 0) {
        ssize_t done = write(STDERR_FILENO, text, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        text += done;
        left -= static_cast<size_t>(done);
    }
}

// An atom only this connection has made: another connection of the same
// server finds it, one of another server does not.
Atom ServerMark(Display* own)
{
    static std::mutex markLock;
    static Display* markedOn = nullptr;
    static quor::data::datastring<32, char> mark;
    std::lock_guard<std::mutex> guard(markLock);
    if (markedOn != own) {
        timespec now = {};
        clock_gettime(CLOCK_REALTIME, &now);
        mark = quor::data::datastring<32, char>(96, "_QUOR_SERVER_%ld_%lx_%lx", static_cast<long>(getpid()),
                                                static_cast<unsigned long>(reinterpret_cast<uintptr_t>(own)),
                                                static_cast<unsigned long>(now.tv_sec * 1000000000L + now.tv_nsec));
        markedOn = own;
    }
    return quor::gui::SAtoms::Get(own, mark.Text());
}

bool SameServer(Display* own, Display* host)
{
    Atom ours = ServerMark(own);
    if (ours == None) return false;
    char* name = XGetAtomName(own, ours);
    if (!name) return false;
    Atom theirs = XInternAtom(host, name, True);
    XFree(name);
    return theirs == ours;
}

}  // namespace

Display* OpenOwnDisplay()
{
    const char* name = getenv("DISPLAY");
    Display* own = XOpenDisplay(name ? name : ":0.0");
    if (!own) return nullptr;
    // Our own connection's errors are ours to handle: none may reach the
    // host's handler, which by default ends the process; nor may its loss.
    quor::gui::SXErrorTrap::Install(own);
    quor::gui::SConnectionWatch::Watch(own);
    XFlush(own);
    return own;
}

void LoseDisplay(Display* lost)
{
    if (!lost) return;
    std::lock_guard<std::mutex> guard(lostLock);
    Display* expected = lost;
    if (__atomic_compare_exchange_n(&dps, &expected, static_cast<Display*>(nullptr), false, __ATOMIC_ACQ_REL,
                                    __ATOMIC_ACQUIRE))
        ownLost = true;
    for (int i = 0; i < lostCount; ++i)
        if (lostDisplays[i] == lost) return;
    // Beyond the list (a connection killed 64 times) one stays open: no harm.
    if (lostCount < maxLost) lostDisplays[lostCount++] = lost;
}

bool OwnDisplayLost()
{
    std::lock_guard<std::mutex> guard(lostLock);
    return ownLost;
}

bool ReviveOwnDisplay()
{
    // Drawing threads read the colour table under the toolkit lock.
    quor::gui::SToolkitHold hold;
    {
        std::lock_guard<std::mutex> guard(lostLock);
        if (!ownLost) return __atomic_load_n(&dps, __ATOMIC_ACQUIRE) != nullptr;
    }
    Display* fresh = OpenOwnDisplay();
    if (!fresh) return false;
    {
        std::lock_guard<std::mutex> guard(lostLock);
        ownLost = false;
        __atomic_store_n(&dps, fresh, __ATOMIC_RELEASE);
    }
    statdata.RenewColours();
    return true;
}

void CloseLostDisplays()
{
    std::vector<Display*> closing;
    {
        std::lock_guard<std::mutex> guard(lostLock);
        closing.assign(lostDisplays, lostDisplays + lostCount);
        lostCount = 0;
    }
    // Every request on them returns at once: closing only frees.
    for (Display* d : closing) {
        XCloseDisplay(d);
        quor::gui::SXErrorTrap::Forget(d);
    }
}

bool AcceptsHostWindow(Display* host, Window window)
{
    Display* own = __atomic_load_n(&dps, __ATOMIC_ACQUIRE);
    if (!own) return true;
    const char* why = nullptr;
    if (host && host != own && !SameServer(own, host)) {
        why = "is on another X server than the plug-in's";
    } else {
        XWindowAttributes a;
        bool exists;
        {
            quor::gui::SXErrorTrap::Probe probe(own);
            exists = XGetWindowAttributes(own, window, &a) != 0;
            exists = exists && !probe.Failed();
        }
        // The server hands each client ids under a base of its own; Xlib's
        // public Display names the base and its mask private3 and private4.
        const _XPrivDisplay p = reinterpret_cast<_XPrivDisplay>(own);
        if (!exists)
            why = "does not exist on the plug-in's X server";
        else if ((window & ~p->private4) == p->private3)
            why = "is one of the plug-in's own windows";
    }
    if (!why) return true;
    quor::data::datastring<32, char> line(160, "Error: the editor window 0x%lx %s (%s); the editor stays closed.\n",
                                          static_cast<unsigned long>(window), why, DisplayString(own));
    Say(line.Text());
    return false;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
