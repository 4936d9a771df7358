// The checks of `vsthost validate` for what X does to an editor behind the
// plug-in's back: the host destroys its window before effEditClose, the
// plug-in's own X connection is killed, the host's window is on another X
// server than the one DISPLAY names.

// First: Xlib's macros (None) clash with the host's names.
#include "tools/vsthost/ValidateSupport.h"
#include "tools/vsthost/XHost.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

// Last: it defines min and max as macros. Read for the client part of
// window ids, which says which connection made a window.
#include <X11/Xlibint.h>
#undef min
#undef max

namespace vsthost {
namespace validate {

namespace {

using Clock = std::chrono::steady_clock;

struct Size {
    int width = 0, height = 0;
};

Size EditorRect(Host& host)
{
    ERect* rect = nullptr;
    host.Dispatch(effEditGetRect, 0, 0, &rect);
    Size s;
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        s.width = rect->right - rect->left;
        s.height = rect->bottom - rect->top;
    }
    return s;
}

// The host at work while it pumps events: effEditIdle and a block every 20
// ms, loud and silent in turn, so that an editor that shows activity
// repaints throughout.
struct Playing {
    explicit Playing(Host& h)
        : host(h), in(h.Effect()->numInputs, 256), out(h.Effect()->numOutputs, 256)
    {
    }
    Host& host;
    Channels<float> in, out;
    long blocks = 0;
};

void Idle(void* context)
{
    Playing* p = static_cast<Playing*>(context);
    p->host.Dispatch(effEditIdle);
    p->in.Sine(p->blocks++ % 2 ? 0.5 : 0.0);
    p->host.ProcessReplacing(p->in.Pointers(), p->out.Pointers(), 256);
}

VstIntPtr OpenIn(Host& host, Display* display, Window window)
{
    return host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(display),
                         reinterpret_cast<void*>(static_cast<uintptr_t>(window)));
}

// What the plug-in writes to file descriptor 2 meanwhile. In the battery's
// child process that is a file, read afterwards from where it stood: should
// the plug-in end the process, its last words stay there for the battery to
// show. Anything else (a terminal with --no-fork) is swapped for a file
// meanwhile, whose text is passed on afterwards.
class PluginOutput {
public:
    PluginOutput()
    {
        fflush(stderr);
        start = lseek(STDERR_FILENO, 0, SEEK_END);
        if (start >= 0) return;
        file = tmpfile();
        if (!file) return;
        saved = dup(STDERR_FILENO);
        dup2(fileno(file), STDERR_FILENO);
    }
    ~PluginOutput() { End(); }
    PluginOutput(const PluginOutput&) = delete;
    PluginOutput& operator=(const PluginOutput&) = delete;

    void End()
    {
        fflush(stderr);
        char buffer[4096];
        if (start >= 0) {
            for (ssize_t n; (n = pread(STDERR_FILENO, buffer, sizeof buffer, start)) > 0; start += n)
                text.append(buffer, static_cast<size_t>(n));
            return;
        }
        if (saved < 0) return;
        dup2(saved, STDERR_FILENO);
        close(saved);
        saved = -1;
        rewind(file);
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
        fclose(file);
        if (!text.empty()) fprintf(stderr, "%s", text.c_str());
    }
    int Lines()
    {
        End();
        return static_cast<int>(std::count(text.begin(), text.end(), '\n')) +
               (!text.empty() && text.back() != '\n' ? 1 : 0);
    }
    // Lines that report an X protocol error, in the usual wordings.
    int XErrorLines()
    {
        End();
        int n = 0;
        size_t from = 0;
        while (from < text.size()) {
            size_t end = text.find('\n', from);
            if (end == std::string::npos) end = text.size();
            const std::string line = text.substr(from, end - from);
            static const char* const words[] = {"XError", "X Error", "X error", "BadWindow", "BadDrawable",
                                                "BadMatch", "BadPixmap", "BadGC", "BadAccess", "BadValue"};
            for (const char* w : words) {
                if (line.find(w) != std::string::npos) {
                    ++n;
                    break;
                }
            }
            from = end + 1;
        }
        return n;
    }

private:
    off_t start = -1;
    FILE* file = nullptr;
    int saved = -1;
    std::string text;
};

// A top-level window of the host's, of a colour no editor is likely to
// paint, so that whatever differs from it is the editor's.
struct HostWindow {
    Display* display = nullptr;
    Window id = 0;
    unsigned long background = 0;

    bool Create(Display* d, Size size, int x, int y)
    {
        display = d;
        const int screen = DefaultScreen(d);
        XColor magenta{};
        magenta.red = 0xFFFF;
        magenta.blue = 0xFFFF;
        background = XAllocColor(d, DefaultColormap(d, screen), &magenta) ? magenta.pixel : WhitePixel(d, screen);
        id = XCreateSimpleWindow(d, RootWindow(d, screen), x, y, static_cast<unsigned>(size.width),
                                 static_cast<unsigned>(size.height), 0, background, background);
        XStoreName(d, id, "vsthost validate");
        XMapWindow(d, id);
        XSync(d, False);
        return id != 0;
    }
    void Resize(Size size)
    {
        XResizeWindow(display, id, static_cast<unsigned>(size.width), static_cast<unsigned>(size.height));
        XSync(display, False);
    }
    void Destroy()
    {
        if (!id) return;
        XDestroyWindow(display, id);
        XSync(display, False);
        id = 0;
    }
    // The pixels of the editor's area that are not the window's own.
    long Painted(Size size)
    {
        if (!id) return 0;
        XImage* image = XGetImage(display, id, 0, 0, static_cast<unsigned>(size.width),
                                  static_cast<unsigned>(size.height), AllPlanes, ZPixmap);
        if (!image) return 0;
        long n = 0;
        for (int y = 0; y < size.height; ++y)
            for (int x = 0; x < size.width; ++x) n += XGetPixel(image, x, y) != background;
        XDestroyImage(image);
        return n;
    }
};

// The editor's size, or a window's worth when it tells none.
Size SizeOr(Size s) { return s.width > 0 && s.height > 0 ? s : Size{300, 200}; }

// Opens the editor in `window` as hosts do (the window sized to the editor
// afterwards) and pumps events until it has painted, for up to `ms`.
// Returns effEditOpen's answer; `painted` gets the pixels painted.
VstIntPtr OpenAndWatch(Playing& playing, HostWindow& window, Size& size, int ms, long& painted)
{
    Host& host = playing.host;
    const VstIntPtr opened = OpenIn(host, window.display, window.id);
    XSession::CheckHandler();
    const Size after = EditorRect(host);
    if (after.width > 0 && (after.width != size.width || after.height != size.height)) {
        size = after;
        window.Resize(size);
    }
    painted = 0;
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        PumpEvents(window.display, 50, Idle, &playing);
        painted = window.Painted(size);
        if (painted > 0) {
            // Once more: the first pixels may be the first of many.
            PumpEvents(window.display, 100, Idle, &playing);
            painted = window.Painted(size);
            break;
        }
    }
    return opened;
}

void CloseEditor(Playing& playing, Display* display)
{
    playing.host.Dispatch(effEditClose);
    XSession::CheckHandler();
    PumpEvents(display, 50, Idle, &playing);
}

// The windows below `window`, at any depth.
void Descendants(Display* d, Window window, std::vector<Window>& out)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(d, window, &root, &up, &children, &count)) return;
    std::vector<Window> mine(children, children + count);
    if (children) XFree(children);
    for (Window w : mine) {
        out.push_back(w);
        Descendants(d, w, out);
    }
}

std::vector<Window> TopLevels(Display* d)
{
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    std::vector<Window> all;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &up, &children, &count)) all.assign(children, children + count);
    if (children) XFree(children);
    return all;
}

// The process a window names in _NET_WM_PID; 0 when it names none.
long WindowPid(Display* d, Window w)
{
    const Atom atom = XInternAtom(d, "_NET_WM_PID", True);
    if (atom == 0) return 0;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = 0;
    if (XGetWindowProperty(d, w, atom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &after, &data) == Success &&
        data && format == 32 && items == 1)
        pid = *reinterpret_cast<const long*>(data);
    if (data) XFree(data);
    return pid;
}

// Whether the connection `d` made the window (the id's client part is its).
bool MadeBy(Display* d, XID id) { return (id & ~d->resource_mask) == d->resource_base; }

std::string ErrorsSince(int errors0)
{
    const int errors = XSession::Errors() - errors0;
    return errors ? Format("%d X errors reached the host's error handler (first: %s)", errors,
                           XSession::FirstError().c_str())
                  : "";
}

// ---------------------------------------------------------------------------
// window-gone
// ---------------------------------------------------------------------------

Outcome WindowGone(Context& c)
{
    Host host;
    std::string why;
    c.Step("load");
    if (!LoadPlugin(host, c.options.plugin, why)) return Fail(why);
    Display* display = nullptr;
    Outcome skip;
    if (!EditorPossible(host, display, skip)) return skip;
    host.Start(44100.0f, 256);
    Playing playing(host);
    Size size = SizeOr(EditorRect(host));
    const int errors0 = XSession::Errors();
    PluginOutput output;
    c.Step("editor opened in a first window");
    HostWindow first;
    first.Create(display, size, 0, 0);
    long painted1 = 0;
    OpenAndWatch(playing, first, size, 2000, painted1);
    c.Step("the host destroys its window before effEditClose");
    first.Destroy();
    PumpEvents(display, 100, Idle, &playing);
    c.Step("effEditClose after the window is gone");
    CloseEditor(playing, display);
    c.Step("editor opened in a new window");
    HostWindow second;
    second.Create(display, size, 40, 40);
    long painted2 = 0;
    const VstIntPtr opened = OpenAndWatch(playing, second, size, 3000, painted2);
    c.Step("effEditClose in the new window");
    CloseEditor(playing, display);
    second.Destroy();
    PumpEvents(display, 50);
    SyncDisplay(display);
    host.Stop();
    c.Step("effClose");
    host.Close();
    const int lines = output.Lines(), xLines = output.XErrorLines();
    Findings findings;
    const std::string errors = ErrorsSince(errors0);
    if (!errors.empty()) findings.Add(errors);
    if (painted1 > 0 && painted2 == 0)
        findings.Add(Format("the editor opened in the new window painted nothing (effEditOpen answered %ld)",
                            static_cast<long>(opened)));
    if (xLines) findings.Add(Format("the plug-in wrote %d lines about X errors", xLines));
    if (c.Strict() && lines) findings.Add(Format("the plug-in wrote %d lines to stderr", lines));
    const std::string figure =
        Format("editor %dx%d; first window: %ld pixels painted; destroyed before effEditClose; new window: %ld pixels "
               "painted; %d X errors; %d lines on stderr",
               size.width, size.height, painted1, painted2, XSession::Errors() - errors0, lines);
    if (painted1 == 0 && findings.Empty()) return Skip("the editor paints nothing that differs from its window; " + figure);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// connection-killed
// ---------------------------------------------------------------------------

Outcome ConnectionKilled(Context& c)
{
    if (!c.options.fork) return Skip("needs a process of its own: the plug-in may end it (not with --no-fork)");
    Host host;
    std::string why;
    c.Step("load");
    if (!LoadPlugin(host, c.options.plugin, why)) return Fail(why);
    Display* display = nullptr;
    Outcome skip;
    if (!EditorPossible(host, display, skip)) return skip;
    host.Start(44100.0f, 256);
    Playing playing(host);
    Size size = SizeOr(EditorRect(host));
    const int errors0 = XSession::Errors();
    PluginOutput output;
    const std::vector<Window> before = TopLevels(display);
    c.Step("editor opened");
    HostWindow first;
    first.Create(display, size, 0, 0);
    long painted1 = 0;
    OpenAndWatch(playing, first, size, 2000, painted1);
    // A window of another client's inside the editor window, or else one at
    // the top level that came with the open.
    Window victim = 0;
    std::vector<Window> inside;
    Descendants(display, first.id, inside);
    for (Window w : inside)
        if (!victim && !MadeBy(display, w)) victim = w;
    // A new top-level window may also be another program's on a shared
    // server: only one that names this process is taken.
    bool topLevel = false;
    if (!victim) {
        for (Window w : TopLevels(display)) {
            if (victim || MadeBy(display, w) || std::find(before.begin(), before.end(), w) != before.end()) continue;
            if (WindowPid(display, w) != static_cast<long>(getpid())) continue;
            victim = w;
            topLevel = true;
        }
    }
    if (!victim) {
        CloseEditor(playing, display);
        first.Destroy();
        host.Close();
        return Skip("the editor has no X connection of its own (it draws through the host's): nothing to kill");
    }
    c.Step("XKillClient on window 0x%lx", victim);
    XKillClient(display, victim);
    SyncDisplay(display);
    c.Step("the host goes on after the kill: events, idle, audio");
    PumpEvents(display, 500, Idle, &playing);
    c.Step("effEditClose after the kill");
    CloseEditor(playing, display);
    first.Destroy();
    c.Step("editor opened again in a new window");
    HostWindow second;
    second.Create(display, size, 40, 40);
    long painted2 = 0;
    const VstIntPtr opened = OpenAndWatch(playing, second, size, 3000, painted2);
    c.Step("effEditClose");
    CloseEditor(playing, display);
    second.Destroy();
    SyncDisplay(display);
    host.Stop();
    c.Step("effClose");
    host.Close();
    const int lines = output.Lines();
    Findings findings;
    const std::string errors = ErrorsSince(errors0);
    if (!errors.empty()) findings.Add(errors);
    if (painted2 == 0)
        findings.Add(Format("opened again after the kill, the editor painted nothing (effEditOpen answered %ld)",
                            static_cast<long>(opened)));
    const std::string figure =
        Format("killed the client of window 0x%lx (%s); the host lived on; opened again: %ld pixels painted (%ld "
               "before the kill); %d X errors; %d lines on stderr",
               victim, topLevel ? "a top-level window of the open" : "inside the editor window", painted2, painted1,
               XSession::Errors() - errors0, lines);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

// ---------------------------------------------------------------------------
// second-server
// ---------------------------------------------------------------------------

// An Xvfb of the check's own, ended with the check.
class SecondServer {
public:
    ~SecondServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
    // False with the reason when no server could be started.
    bool Start(std::string& why)
    {
        for (int n = 151, attempt = 0; attempt < 10; ++n) {
            if (access(Format("/tmp/.X11-unix/X%d", n).c_str(), F_OK) == 0 ||
                access(Format("/tmp/.X%d-lock", n).c_str(), F_OK) == 0)
                continue;
            ++attempt;
            if (Try(n, why)) return true;
            if (why == "Xvfb is not installed") return false;
        }
        return false;
    }
    const std::string& Name() const { return name; }

private:
    bool Try(int n, std::string& why)
    {
        int fds[2];
        if (pipe(fds) != 0) {
            why = "no pipe";
            return false;
        }
        // Built before the fork: the child only calls what is safe after it.
        const std::string display = Format(":%d", n), fd = Format("%d", fds[1]);
        const char* argv[] = {"Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "640x480x24",
                              "-nolisten", "tcp", nullptr};
        const pid_t child = fork();
        if (child == 0) {
            close(fds[0]);
            const int null = open("/dev/null", O_RDWR);
            if (null >= 0) {
                dup2(null, STDIN_FILENO);
                dup2(null, STDOUT_FILENO);
                dup2(null, STDERR_FILENO);
            }
            execvp("Xvfb", const_cast<char* const*>(argv));
            _exit(127);
        }
        close(fds[1]);
        if (child < 0) {
            close(fds[0]);
            why = "cannot fork";
            return false;
        }
        // The number comes once the server accepts connections.
        char text[32] = {};
        size_t got = 0;
        const auto end = Clock::now() + std::chrono::seconds(20);
        while (Clock::now() < end && got < sizeof text - 1 && !memchr(text, '\n', got)) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            const ssize_t r = read(fds[0], text + got, sizeof text - 1 - got);
            if (r <= 0) break;
            got += static_cast<size_t>(r);
        }
        close(fds[0]);
        if (!memchr(text, '\n', got)) {
            kill(child, SIGTERM);
            int status = 0;
            waitpid(child, &status, 0);
            why = WIFEXITED(status) && WEXITSTATUS(status) == 127 ? "Xvfb is not installed" : "Xvfb did not start";
            return false;
        }
        pid = child;
        name = Format(":%d", atoi(text));
        return true;
    }

    pid_t pid = -1;
    std::string name;
};

Outcome OtherServer(Context& c)
{
    Host host;
    std::string why;
    c.Step("load");
    if (!LoadPlugin(host, c.options.plugin, why)) return Fail(why);
    Display* display = nullptr;
    Outcome skip;
    if (!EditorPossible(host, display, skip)) return skip;
    c.Step("starting a second X server");
    SecondServer server;
    if (!server.Start(why)) return Skip("no second X server: " + why);
    host.Start(44100.0f, 256);
    Playing playing(host);
    Size size = SizeOr(EditorRect(host));
    // On DISPLAY's server, a window of another client's; on the second, the
    // host's window gets the same id, so that a plug-in that takes the id
    // to its own server lands in that window instead of failing unseen.
    c.Step("a window of the same id on both servers");
    Display* decoyClient = XOpenDisplay(DisplayString(display));
    if (!decoyClient) return Fail("cannot open a second connection to " + std::string(DisplayString(display)));
    HostWindow decoy;
    decoy.Create(decoyClient, size, 0, 0);
    std::vector<Display*> others;
    Display* second = nullptr;
    for (int i = 0; i < 255 && !second; ++i) {
        Display* d = XOpenDisplay(server.Name().c_str());
        if (!d) break;
        if (d->resource_base == decoyClient->resource_base && d->resource_mask == decoyClient->resource_mask)
            second = d;
        else
            others.push_back(d);
    }
    for (Display* d : others) XCloseDisplay(d);
    // Ids come one after another: windows are made until the host's has
    // the decoy's.
    HostWindow window;
    std::vector<Window> spare;
    for (int i = 0; second && i < 4096; ++i) {
        HostWindow w;
        w.Create(second, size, 0, 0);
        if (w.id >= decoy.id) {
            window = w;
            break;
        }
        spare.push_back(w.id);
    }
    for (Window w : spare) XDestroyWindow(second, w);
    if (!second || window.id != decoy.id) {
        if (second) XCloseDisplay(second);
        XCloseDisplay(decoyClient);
        return Skip("cannot give the host's window on the second server the id of a window on the first");
    }
    const int errors0 = XSession::Errors();
    PluginOutput output;
    c.Step("effEditOpen with the Display* and window of %s", server.Name().c_str());
    long painted = 0;
    const VstIntPtr opened = OpenAndWatch(playing, window, size, 3000, painted);
    XSync(decoyClient, False);
    std::vector<Window> there, astray;
    Descendants(second, window.id, there);
    Descendants(decoyClient, decoy.id, astray);
    const long astrayPainted = decoy.Painted(size);
    c.Step("effEditClose");
    CloseEditor(playing, second);
    window.Destroy();
    decoy.Destroy();
    host.Stop();
    c.Step("effClose");
    host.Close();
    // After the unload: the plug-in may have kept the Display* it was given.
    XCloseDisplay(second);
    XCloseDisplay(decoyClient);
    const int lines = output.Lines();
    Findings findings;
    if (!astray.empty() || astrayPainted > 0)
        findings.Add(Format("the editor went into the window of the same id on DISPLAY's server (%zu windows, %ld "
                            "pixels), not into the host's on %s",
                            astray.size(), astrayPainted, server.Name().c_str()));
    if (opened && there.empty())
        findings.Add(Format("effEditOpen answered %ld but nothing came into the host's window", static_cast<long>(opened)));
    else if (opened && painted == 0)
        findings.Add("the editor in the host's window painted nothing");
    const std::string errors = ErrorsSince(errors0);
    if (!errors.empty()) findings.Add(errors);
    const std::string figure =
        Format("host's window on a second server (%s): effEditOpen answered %ld; %s; in the window of the same id on "
               "DISPLAY's server: %zu windows; %d X errors; %d lines on stderr",
               server.Name().c_str(), static_cast<long>(opened),
               opened ? Format("embedded there: %zu windows, %ld pixels painted", there.size(), painted).c_str()
                      : "refused",
               astray.size(), XSession::Errors() - errors0, lines);
    return findings.Empty() ? Pass(figure) : Fail(findings.Text() + "; " + figure);
}

}  // namespace

const std::vector<CheckDef>& XFaultChecks()
{
    static const std::vector<CheckDef> checks = {
        {"window-gone", "the host destroys its editor window before effEditClose, then opens the editor in a new one: "
                        "it must paint there, with no X error",
         WindowGone, 1},
        {"connection-killed", "XKillClient on the editor's own X connection: the host lives on, and the editor opened "
                              "again paints",
         ConnectionKilled, 1},
        {"second-server", "the host's window on a second X server: the editor refuses (0) or embeds there, never into "
                          "a window of DISPLAY's server",
         OtherServer, 1},
    };
    return checks;
}

}  // namespace validate
}  // namespace vsthost
