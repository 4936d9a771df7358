#include "tools/vsthost/XHost.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vsthost {

namespace {

std::atomic<int> errorCount{0};
std::atomic<int> replacedCount{0};
std::mutex firstMutex;
std::string firstError;
Display* hostDisplay = nullptr;
bool tried = false;
std::mutex openMutex;

// A property read of the host's own that may fail (the window can be gone
// by the time its event is read): errors from that request are the host's.
struct OwnRequest {
    Display* display = nullptr;
    unsigned long fromSerial = 0;
};
thread_local OwnRequest ownRequest;

int CountingHandler(Display* display, XErrorEvent* e)
{
    if (ownRequest.display == display && e->serial >= ownRequest.fromSerial) return 0;
    if (errorCount.fetch_add(1) == 0) {
        char text[256] = {};
        XGetErrorText(display, e->error_code, text, sizeof text);
        char line[400];
        snprintf(line, sizeof line, "%s (request %d.%d, resource 0x%lx)", text, e->request_code, e->minor_code,
                 e->resourceid);
        std::lock_guard<std::mutex> held(firstMutex);
        firstError = line;
    }
    return 0;
}

typedef void (*EventProc)(XEvent*);

// Whether an address lies in executable memory of this process, or in a
// loaded module: what a window names is called only then. A plug-in may name code of its own
// outside any module (a trampoline below 4 GiB on 64-bit systems).
bool Executable(uintptr_t address)
{
    FILE* maps = fopen("/proc/self/maps", "r");
    if (!maps) return false;
    char line[512];
    bool found = false;
    while (!found && fgets(line, sizeof line, maps)) {
        unsigned long long from = 0, to = 0;
        char perms[8] = {};
        if (sscanf(line, "%llx-%llx %7s", &from, &to, perms) == 3)
            found = address >= from && address < to && perms[2] == 'x';
    }
    fclose(maps);
    if (found) return true;
    // Emulators (qemu-user) show the code they translate as not executable:
    // code of a loaded module is taken as such.
    Dl_info info;
    return dladdr(reinterpret_cast<void*>(address), &info) && info.dli_fname;
}

// The function a window names in "_XEventProc", read as the hosts of today
// read it: up to two items asked for, exactly one required, and that 32-bit
// value called, on 64-bit systems too. An address that is not executable
// code of this process is never called.
EventProc EventProcOf(Display* display, Window window, bool& bogus)
{
    static Atom atom = None;
    if (atom == None) atom = XInternAtom(display, "_XEventProc", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    ownRequest.display = display;
    ownRequest.fromSerial = NextRequest(display);
    const int status =
        XGetWindowProperty(display, window, atom, 0, 2, False, AnyPropertyType, &type, &format, &items, &after, &data);
    ownRequest.display = nullptr;
    bogus = false;
    if (status != Success || !data) return nullptr;
    uintptr_t address = 0;
    if (format == 32 && items == 1)
        address = static_cast<uintptr_t>(*reinterpret_cast<const unsigned long*>(data) & 0xFFFFFFFFul);
    XFree(data);
    if (!address) return nullptr;
    if (!Executable(address)) {
        bogus = true;
        return nullptr;
    }
    return reinterpret_cast<EventProc>(address);
}

std::atomic<int> bogusProcs{0};

}  // namespace

void XSession::InitThreads()
{
    static std::once_flag once;
    std::call_once(once, [] {
        XInitThreads();
        XSetErrorHandler(CountingHandler);
    });
}

Display* XSession::Get()
{
    std::lock_guard<std::mutex> held(openMutex);
    if (!tried) {
        tried = true;
        InitThreads();
        const char* name = getenv("DISPLAY");
        if (name && *name) hostDisplay = XOpenDisplay(nullptr);
    }
    return hostDisplay;
}

int XSession::Errors() { return errorCount.load(); }

std::string XSession::FirstError()
{
    std::lock_guard<std::mutex> held(firstMutex);
    std::string text = firstError;
    if (bogusProcs.load())
        text += (text.empty() ? "" : "; ") + std::to_string(bogusProcs.load()) +
                " events for a window whose _XEventProc names no executable code";
    return text;
}

int XSession::HandlerReplaced() { return replacedCount.load(); }

void XSession::CheckHandler()
{
    XErrorHandler previous = XSetErrorHandler(CountingHandler);
    if (previous != CountingHandler) replacedCount.fetch_add(1);
}

bool EditorWindow::Create(Display* d, int width, int height, const std::string& title, int x, int y)
{
    Destroy();
    if (!d) return false;
    display = d;
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    const int screen = DefaultScreen(d);
    window = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, BlackPixel(d, screen), BlackPixel(d, screen));
    XStoreName(d, window, title.c_str());
    XSelectInput(d, window, StructureNotifyMask);
    XMapWindow(d, window);
    XSync(d, False);
    return window != 0;
}

void EditorWindow::Resize(int width, int height)
{
    if (!display || !window || width < 1 || height < 1) return;
    XResizeWindow(display, window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display, False);
}

void EditorWindow::Destroy()
{
    if (display && window) {
        XDestroyWindow(display, window);
        XSync(display, False);
    }
    window = 0;
    display = nullptr;
}

int PumpEvents(Display* display, int milliseconds, void (*idle)(void*), void* context, bool forward)
{
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    auto nextIdle = Clock::now();
    int delivered = 0;
    while (true) {
        while (display && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (!forward) continue;
            bool bogus = false;
            EventProc proc = EventProcOf(display, event.xany.window, bogus);
            if (bogus) bogusProcs.fetch_add(1);
            if (proc) {
                proc(&event);
                ++delivered;
            }
        }
        const auto now = Clock::now();
        if (idle && now >= nextIdle) {
            idle(context);
            nextIdle = now + std::chrono::milliseconds(20);
        }
        if (now >= end) break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        if (display) {
            pollfd p{ConnectionNumber(display), POLLIN, 0};
            poll(&p, 1, static_cast<int>(left < 5 ? left : 5));
        } else {
            poll(nullptr, 0, static_cast<int>(left < 5 ? left : 5));
        }
    }
    return delivered;
}

void SyncDisplay(Display* display)
{
    if (display) XSync(display, False);
}

int CountXConnections()
{
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    const int own = dirfd(dir);
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = strtol(entry->d_name, &end, 10);
        if (*end || fd == own) continue;
        sockaddr_storage peer{};
        socklen_t length = sizeof peer;
        if (getpeername(static_cast<int>(fd), reinterpret_cast<sockaddr*>(&peer), &length) != 0) continue;
        if (peer.ss_family == AF_UNIX) {
            const sockaddr_un* u = reinterpret_cast<const sockaddr_un*>(&peer);
            const size_t pathLength = length > offsetof(sockaddr_un, sun_path) ? length - offsetof(sockaddr_un, sun_path) : 0;
            // Abstract names start with a zero byte; search past it.
            const std::string path(u->sun_path, pathLength);
            if (path.find("X11-unix/X") != std::string::npos) ++count;
        } else if (peer.ss_family == AF_INET || peer.ss_family == AF_INET6) {
            const unsigned port = peer.ss_family == AF_INET
                                      ? ntohs(reinterpret_cast<const sockaddr_in*>(&peer)->sin_port)
                                      : ntohs(reinterpret_cast<const sockaddr_in6*>(&peer)->sin6_port);
            if (port >= 6000 && port < 6064) ++count;
        }
    }
    closedir(dir);
    return count;
}

}  // namespace vsthost
