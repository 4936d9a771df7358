#include "quor/gui/SConnectionWatch.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "quor/data/datastring.h"
#include "quor/gui/SAtoms.h"
#include "quor/gui/SEventDispatcher.h"
#include "quor/gui/SWindowRegistry.h"
#include "quor/gui/context/SDisplayHandles.h"

// Last: it defines min and max as macros.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace quor {
namespace gui {

namespace {

struct Watched {
    Display* display;
    bool dead;
};

std::mutex watchLock;
std::vector<Watched>& watched()
{
    static std::vector<Watched> list;
    return list;
}

std::atomic<uint64_t> losses{0};
std::atomic<XIOErrorHandler> previous{nullptr};
bool chained = false;  // under watchLock

bool IsWatched(Display* display)
{
    std::lock_guard<std::mutex> guard(watchLock);
    for (const Watched& w : watched())
        if (w.display == display) return true;
    return false;
}

void WriteLine(const char* text, size_t length)
{
    while (length > 0) {
        ssize_t done = write(STDERR_FILENO, text, length);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return;
        text += done;
        length -= static_cast<size_t>(done);
    }
}

// The process-wide handler: Xlib calls it first, for every connection of the
// process. Ours are left to their exit handler; the host's go where they
// went before.
int Chain(Display* display)
{
    if (IsWatched(display)) return 0;
    XIOErrorHandler next = previous.load(std::memory_order_acquire);
    return next ? next(display) : 0;
}

// Marks the connection dead and lets everything that would use it know.
void MarkDead(Display* display)
{
    {
        std::lock_guard<std::mutex> guard(watchLock);
        for (Watched& w : watched()) {
            if (w.display != display) continue;
            if (w.dead) return;
            w.dead = true;
        }
    }
    losses.fetch_add(1, std::memory_order_relaxed);
    context::LoseDisplay(display);
    SWindowRegistry::Forget(display);
    SAtoms::Forget(display);
    SEventDispatcher::Abandon(display);
    const char* name = DisplayString(display);
    quor::data::datastring<32, char> line("Error: X connection to ");
    line.Append(name ? name : "?");
    line.Append(" lost; a new one is opened when a window is next needed.\n");
    WriteLine(line.Text(), line.Size());
}

// Xlib calls this expecting the process to end. It has taken the display's
// user lock and never gives it back: every other thread would then wait for
// it forever. And it has let go of the display's own lock, which the request
// that failed still holds and lets go of again on its way out: taken again
// here, the two balance. Each later call on the connection returns at once,
// the flag Xlib set on it short-cutting the requests.
void Exit(Display* display, void*)
{
    XUnlockDisplay(display);
    MarkDead(display);
    LockDisplay(display);
}

// Two pages: the code, then the address it jumps through. The code page is
// never unmapped: after unload it still forwards to the replaced handler.
class Stub {
public:
    Stub()
    {
        void* pages = mmap(nullptr, 8192, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED) return;
        unsigned char* code = static_cast<unsigned char*>(pages);
        slot = reinterpret_cast<XIOErrorHandler*>(code + 4096);
        *slot = Chain;
#if defined(__x86_64__)
        // jmp qword [rip + 4090]: the slot, from the end of the instruction.
        const unsigned char jump[6] = {0xFF, 0x25, 0xFA, 0x0F, 0x00, 0x00};
        memcpy(code, jump, sizeof jump);
#else
        // jmp dword [slot]
        const unsigned char jump[2] = {0xFF, 0x25};
        uint32_t at = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(slot));
        memcpy(code, jump, sizeof jump);
        memcpy(code + 2, &at, sizeof at);
#endif
        if (mprotect(code, 4096, PROT_READ | PROT_EXEC) != 0) {
            munmap(pages, 8192);
            slot = nullptr;
            return;
        }
        entry = reinterpret_cast<XIOErrorHandler>(code);
    }
    // The handler to install: the stub, or Chain itself without one.
    XIOErrorHandler Entry() const { return entry ? entry : Chain; }
    bool Made() const { return entry != nullptr; }
    void Target(XIOErrorHandler target)
    {
        if (slot) __atomic_store_n(slot, target, __ATOMIC_RELEASE);
    }

private:
    XIOErrorHandler entry = nullptr;
    XIOErrorHandler* slot = nullptr;
};

Stub& stub()
{
    static Stub s;
    return s;
}

// With watchLock held.
void InstallChain()
{
    Stub& s = stub();
    XIOErrorHandler ours = s.Entry();
    s.Target(Chain);
    XIOErrorHandler current = XSetIOErrorHandler(ours);
    if (current != ours) previous.store(current, std::memory_order_release);
    chained = true;
}

// libxcb writes without MSG_NOSIGNAL: a request written after the server
// dropped the connection, before its end was read, raises SIGPIPE, and the
// default action ends the process before Xlib sees the error. A host that
// chose a disposition of its own keeps it; one that left the default gets
// it ignored (writes to a closed pipe then fail with EPIPE instead).
void IgnoreBrokenPipes()
{
    struct sigaction now = {};
    if (sigaction(SIGPIPE, nullptr, &now) != 0) return;
    if ((now.sa_flags & SA_SIGINFO) || now.sa_handler != SIG_DFL) return;
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace

void SConnectionWatch::Watch(Display* display)
{
    if (!display) return;
    IgnoreBrokenPipes();
    XSetIOErrorExitHandler(display, Exit, nullptr);
    std::lock_guard<std::mutex> guard(watchLock);
    bool known = false;
    for (const Watched& w : watched()) known = known || w.display == display;
    if (!known) watched().push_back(Watched{display, false});
    InstallChain();
}

bool SConnectionWatch::Dead(Display* display)
{
    if (!display || losses.load(std::memory_order_acquire) == 0) return false;
    std::lock_guard<std::mutex> guard(watchLock);
    for (const Watched& w : watched())
        if (w.display == display) return w.dead;
    return false;
}

uint64_t SConnectionWatch::Losses() { return losses.load(std::memory_order_acquire); }

void SConnectionWatch::Release()
{
    std::lock_guard<std::mutex> guard(watchLock);
    watched().clear();
    if (!chained) return;
    chained = false;
    Stub& s = stub();
    XIOErrorHandler ours = s.Entry();
    XIOErrorHandler before = previous.load(std::memory_order_acquire);
    XIOErrorHandler current = XSetIOErrorHandler(before);
    // Someone put a handler of their own in front of ours meanwhile: it stays,
    // and it reaches the one we replaced through the stub.
    if (current != ours) XSetIOErrorHandler(current);
    s.Target(before);
}

}  // namespace gui
}  // namespace quor
