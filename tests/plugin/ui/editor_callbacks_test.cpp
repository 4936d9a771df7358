// The editor calls its host (canDo "sizeWindow", sizeWindow) while it opens.
// A host may answer those on its GUI thread, and that thread may be inside
// the editor's "_XEventProc" at that moment, waiting for the toolkit: the
// editor must not hold the toolkit while it calls the host. Loaded with
// dlopen and driven through its entry point, as a host does.

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "plugin/VstInterface.h"
#include "quor/threading/watchdog.h"

namespace {

using EventProc = void (*)(XEvent*);

Display* hostDisplay = nullptr;
Window panel = 0;
EventProc proc = nullptr;
std::atomic<bool> armed{false};
std::vector<std::string> blocked;
std::vector<std::unique_ptr<std::thread>> guiCalls;

// The host's GUI thread hands the editor one event, as it does with every
// event of its windows; the host waits for that call before it answers.
void GuiThreadServes(const char* request)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    guiCalls.emplace_back(new std::thread([done] {
        XEvent e = {};
        e.xany.type = PropertyNotify;
        e.xany.display = hostDisplay;
        e.xany.window = panel;
        proc(&e);
        *done = true;
    }));
    // A hang detector, not a speed limit: the call takes microseconds.
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!*done && std::chrono::steady_clock::now() < limit) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!*done) blocked.push_back(request);
}

VstIntPtr Host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterCanDo:
        if (!ptr || strcmp(static_cast<const char*>(ptr), "sizeWindow") != 0) return 0;
        if (armed) GuiThreadServes("canDo sizeWindow");
        return 1;
    case audioMasterSizeWindow:
        if (armed) GuiThreadServes("sizeWindow");
        return 1;
    default: return 0;
    }
}

// The dispatcher named by the first child of `parent` that names one.
EventProc ChildEventProc(Window parent, Window* child)
{
    Window root, up, *children = nullptr;
    unsigned count = 0;
    EventProc found = nullptr;
    if (!XQueryTree(hostDisplay, parent, &root, &up, &children, &count)) return nullptr;
    Atom atom = XInternAtom(hostDisplay, "_XEventProc", False);
    for (unsigned i = 0; i < count && !found; ++i) {
        Atom type;
        int format;
        unsigned long n, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(hostDisplay, children[i], atom, 0, 1, False, AnyPropertyType, &type, &format, &n, &after,
                               &data) == Success &&
            n == 1) {
            // One 32-bit item, as hosts read it.
            auto address = static_cast<uintptr_t>(static_cast<uint32_t>(reinterpret_cast<long*>(data)[0]));
            found = reinterpret_cast<EventProc>(address);
            *child = children[i];
        }
        if (data) XFree(data);
    }
    if (children) XFree(children);
    return found;
}

}  // namespace

TEST(EditorHostCalls, AHostServingSizeWindowOnItsGuiThreadIsNotBlocked)
{
    Watchdog dog("AHostServingSizeWindowOnItsGuiThreadIsNotBlocked");
    XInitThreads();
    hostDisplay = XOpenDisplay(nullptr);
    ASSERT_NE(hostDisplay, nullptr) << "this test needs an X server (run it under tools/with-xvfb.sh)";
    Window window = XCreateSimpleWindow(hostDisplay, DefaultRootWindow(hostDisplay), 0, 0, 100, 75, 0, 0, 0);
    XMapWindow(hostDisplay, window);
    XSync(hostDisplay, False);

    void* module = dlopen(BW_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    AEffect* effect = entry(Host);
    ASSERT_NE(effect, nullptr);
    auto dispatch = [effect](VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr) {
        return effect->dispatcher(effect, opcode, 0, value, ptr, 0.0f);
    };
    dispatch(effOpen);
    void* parent = reinterpret_cast<void*>(static_cast<uintptr_t>(window));
    // The first open makes the panel, whose dispatcher the GUI thread calls
    // during the second.
    ASSERT_EQ(dispatch(effEditOpen, reinterpret_cast<VstIntPtr>(hostDisplay), parent), 1);
    XSync(hostDisplay, False);
    proc = ChildEventProc(window, &panel);
    ASSERT_NE(proc, nullptr) << "no editor window names a dispatcher";
    dispatch(effEditClose);
    armed = true;
    ASSERT_EQ(dispatch(effEditOpen, reinterpret_cast<VstIntPtr>(hostDisplay), parent), 1);
    armed = false;
    for (auto& call : guiCalls) call->join();
    EXPECT_EQ(guiCalls.size(), 2u) << "the editor asked the host for canDo \"sizeWindow\" and sizeWindow";
    std::string requests;
    for (const std::string& r : blocked) requests += " \"" + r + "\"";
    EXPECT_TRUE(blocked.empty()) << "the GUI thread waited for the editor during the host request(s)" << requests;

    dispatch(effEditClose);
    dispatch(effClose);
    dlclose(module);
    XDestroyWindow(hostDisplay, window);
    XCloseDisplay(hostDisplay);
}
