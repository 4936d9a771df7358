// The plug-in's X connection, as a host lives with it: killed under an open
// editor (the host lives on, closes, reopens and sees live lamps), a host
// window that is not on the plug-in's server, and the plug-in's threads
// when it has no window at all.

#include "EditorFixture.h"  // first: gtest before Xlib

#include <dirent.h>

#include <cstring>
#include <fstream>
#include <map>

#include "quor/gui/XvfbServer.h"

using bwtest::EditorTest;
using bwtest::Rgb;

namespace {

const unsigned long black = Rgb(0, 0, 0), green = Rgb(0, 255, 0);

// The host's own process-wide IO-error handler, as GTK installs one: it
// would end the process. It must never be called for the plug-in's
// connection.
int hostIOErrors = 0;
int HostIOError(Display*)
{
    ++hostIOErrors;
    return 0;
}

class Connection : public EditorTest {
protected:
    void SetUp() override
    {
        hostIOErrors = 0;
        hostBefore = XSetIOErrorHandler(HostIOError);
        EditorTest::SetUp();
    }
    void TearDown() override
    {
        EditorTest::TearDown();
        XSetIOErrorHandler(hostBefore);
    }

    // The plug-in's panel: the one child of the host's window.
    Window Panel(Window host)
    {
        Window root, parent, *children = nullptr, found = 0;
        unsigned n = 0;
        if (XQueryTree(test, host, &root, &parent, &children, &n) && n == 1) found = children[0];
        if (children) XFree(children);
        return found;
    }

    bool PlayUntil(float dB, unsigned long colour)
    {
        return WaitFor([&] {
            Block(dB);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return Lamp(audioLampX) == colour;
        });
    }

    XIOErrorHandler hostBefore = nullptr;
};

TEST_F(Connection, KilledUnderAnOpenEditorTheHostLivesOnAndTheEditorComesBack)
{
    ASSERT_TRUE(PlayUntil(-20.0f, green));
    const Window panel = Panel(window);
    ASSERT_NE(panel, 0u);
    // As xkill does: the client that made the window goes.
    XKillClient(test, panel);
    XSync(test, False);
    ASSERT_TRUE(WaitFor([&] { return bwtest::Occurrences(Stderr(), " lost;") == 1; })) << Stderr();
    // The engine goes on posting; nothing may reach the dead connection
    // (Xlib would complain of each request once its buffer is full).
    for (int i = 0; i < 200; ++i) Block(i % 2 ? -20.0f : -70.0f, {{0x90, 60, 100}});
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(hostIOErrors, 0) << "the host's handler saw the plug-in's connection";

    Close();
    // A new window, as a host makes for the editor it opens again.
    const Window again = NewWindow(420, 300);
    Open(again);
    ASSERT_TRUE(PlayUntil(-70.0f, black)) << "no panel after the reopen";
    ASSERT_TRUE(PlayUntil(-20.0f, green));
    ASSERT_TRUE(PlayUntil(-70.0f, black));
    EXPECT_GT(LogoInk(), 50);
    // And once more in the first window: the same panel moves.
    Close();
    Open(window);
    ASSERT_TRUE(PlayUntil(-20.0f, green));

    Close();
    host.Close();
    const std::string text = Stderr();
    EXPECT_EQ(bwtest::Occurrences(text, "lost;"), 1) << text;
    EXPECT_EQ(bwtest::Occurrences(text, "Xlib"), 0) << text;
    EXPECT_EQ(hostIOErrors, 0);
    // Unloaded, the plug-in left the host's handler in place.
    XIOErrorHandler now = XSetIOErrorHandler(hostBefore);
    EXPECT_EQ(now, HostIOError);
    XSetIOErrorHandler(HostIOError);
}

// The process-wide handler outlives the module for whoever chained itself in
// front of it after the load: it still reaches the host's.
int chainedCalls = 0;
XIOErrorHandler chainedNext = nullptr;
int Chained(Display* d)
{
    ++chainedCalls;
    return chainedNext ? chainedNext(d) : 0;
}

TEST_F(Connection, AHandlerChainedAfterTheLoadStillReachesTheHostsAfterTheUnload)
{
    chainedNext = XSetIOErrorHandler(Chained);
    ASSERT_NE(chainedNext, HostIOError) << "the plug-in put no handler of its own in front";
    Close();
    host.Close();
    // The host's own connection breaks: its handler is reached through the
    // plug-in's, which has gone with the module.
    Display* doomed = XOpenDisplay(nullptr);
    ASSERT_NE(doomed, nullptr);
    chainedNext(doomed);
    EXPECT_EQ(hostIOErrors, 1);
    XCloseDisplay(doomed);
    XSetIOErrorHandler(HostIOError);
}

TEST_F(Connection, AWindowThatIsNotOnThePluginsServerIsRefused)
{
    bwtest::XvfbServer second({"-screen", "0", "640x480x24"});
    ASSERT_FALSE(second.name.empty());
    Display* other = XOpenDisplay(second.name.c_str());
    ASSERT_NE(other, nullptr);
    // The same id on both servers: the first window of the first client.
    const Window foreign = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 100, 75, 0, 0, 0);
    XMapWindow(other, foreign);
    XSync(other, False);
    const Window panel = Panel(window);
    ASSERT_NE(panel, 0u);
    Window gone = XCreateSimpleWindow(test, DefaultRootWindow(test), 0, 0, 10, 10, 0, 0, 0);
    XDestroyWindow(test, gone);
    XSync(test, False);

    struct Case {
        Display* display;
        Window window;
        const char* said;
    } refused[] = {
        {other, foreign, "another X server"},
        {nullptr, gone, "does not exist"},
        {test, panel, "own windows"},
        {nullptr, panel, "own windows"},
    };
    for (const Case& c : refused) {
        const std::string before = Stderr();
        EXPECT_EQ(host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(c.display),
                                reinterpret_cast<void*>(static_cast<uintptr_t>(c.window))),
                  0)
            << c.said;
        const std::string said = Stderr().substr(before.size());
        EXPECT_EQ(bwtest::Occurrences(said, "\n"), 1) << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
    }
    // Nothing landed on the second server, and the editor still works where
    // it is.
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    XQueryTree(other, foreign, &root, &parent, &children, &n);
    if (children) XFree(children);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(Panel(window), panel);
    ASSERT_TRUE(PlayUntil(-20.0f, green));
    // Without the host's display, a window of the host's on our server opens.
    Close();
    const Window plain = NewWindow(420, 300);
    EXPECT_EQ(host.Dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<uintptr_t>(plain))), 1);
    open = true;
    current = plain;
    ASSERT_TRUE(PlayUntil(-70.0f, black));
    XDestroyWindow(other, foreign);
    XCloseDisplay(other);
}

// Context switches of the plug-in's threads (named bw-*) so far, by thread.
std::map<std::string, long> Switches()
{
    std::map<std::string, long> counts;
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return counts;
    while (dirent* e = readdir(tasks)) {
        if (e->d_name[0] == '.') continue;
        const std::string dir = std::string("/proc/self/task/") + e->d_name;
        std::ifstream comm(dir + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name.compare(0, 3, "bw-") != 0) continue;
        std::ifstream status(dir + "/status");
        long total = 0;
        for (std::string line; std::getline(status, line);) {
            if (line.find("ctxt_switches:") != std::string::npos) total += std::stol(line.substr(line.find(':') + 1));
        }
        counts[name + "/" + e->d_name] += total;
    }
    closedir(tasks);
    return counts;
}

// Wake-ups of the plug-in's threads during about a second.
long WakeUpsInASecond()
{
    std::map<std::string, long> before = Switches();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    long woken = 0;
    for (const auto& [thread, count] : Switches()) woken += count - before[thread];
    return woken;
}

TEST_F(Connection, WithoutAWindowThePluginsThreadsNeverWake)
{
    ASSERT_TRUE(PlayUntil(-20.0f, green));
    const long open = WakeUpsInASecond();
    Close();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the last idle call ends
    const long closed = WakeUpsInASecond();
    EXPECT_EQ(closed, 0) << "wake-ups in a second with the editor closed";
    EXPECT_GT(open, 10) << "the count sees the threads at work while the editor is open";
    Open(window);
    ASSERT_TRUE(PlayUntil(-70.0f, black));
}

}  // namespace
