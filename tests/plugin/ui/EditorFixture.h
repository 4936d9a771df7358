#pragma once
// The plug-in loaded with dlopen by the project's host, its editor opened in
// a window of the test's as a host opens it, driven with XTest and read back
// pixel by pixel. The plug-in's own X errors would show on standard error
// (it keeps them from the process-wide handler): the fixture catches that
// stream and fails on any of them; the test's connection counts its own.

#include <gtest/gtest.h>

#include "tools/vsthost/VstHost.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "FakeInput.h"
#include "WindowProbe.h"
#include "XErrorCount.h"
#include "plugin/PluginTestSupport.h"
#include "quor/threading/watchdog.h"

namespace bwtest {

inline unsigned long Rgb(int r, int g, int b)
{
    return (static_cast<unsigned long>(r) << 16) | (static_cast<unsigned long>(g) << 8) | static_cast<unsigned long>(b);
}

class EditorTest : public ::testing::Test {
protected:
    static constexpr int lampY = 50;
    static constexpr int audioLampX = 42, midiLampX = 60;

    void SetUp() override
    {
        dog.reset(new Watchdog(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        XInitThreads();
        test = XOpenDisplay(nullptr);
        ASSERT_NE(test, nullptr) << "these tests need an X server (run them under tools/with-xvfb.sh)";
        XErrorsCounted() = 0;
        previous = XSetErrorHandler(CountXError);
        for (unsigned b = 1; b <= 5; ++b) XTestFakeButtonEvent(test, b, False, 0);
        captured.emplace();  // the plug-in's standard error, for the whole test
        ASSERT_TRUE(host.Load(BW_PLUGIN));
        effect = host.Effect();
        host.Start(44100.0f, 512);
        window = NewWindow(300, 300);
        Open(window);
    }

    void TearDown() override
    {
        if (effect && open) host.Dispatch(effEditClose);
        host.Close();
        const std::string text = captured ? captured->Text() : std::string();
        EXPECT_EQ(text.find("XError"), std::string::npos) << text;
        if (test) {
            for (Window w : windows) XDestroyWindow(test, w);
            XSync(test, False);
            EXPECT_EQ(XErrorsCounted(), 0) << "X errors on the host's connection";
            XSetErrorHandler(previous);
            XCloseDisplay(test);
        }
        dog.reset();
    }

    Window NewWindow(int x, int y, int width = 100, int height = 75)
    {
        XSetWindowAttributes a = {};
        a.override_redirect = True;
        a.background_pixel = BlackPixel(test, DefaultScreen(test));
        Window w = XCreateWindow(test, DefaultRootWindow(test), x, y, static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel, &a);
        XMapRaised(test, w);
        XSync(test, False);
        windows.push_back(w);
        return w;
    }

    void Open(Window w)
    {
        ASSERT_EQ(host.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(test),
                                reinterpret_cast<void*>(static_cast<uintptr_t>(w))),
                  1);
        open = true;
        current = w;
    }

    void Close()
    {
        host.Dispatch(effEditClose);
        open = false;
    }

    // One block: a 440 Hz tone at `dB` on both channels (none below -200)
    // and the given MIDI messages at its start.
    void Block(float dB, const std::vector<std::vector<uint8_t>>& midi = {})
    {
        std::vector<float> a(512), b(512), oa(512), ob(512);
        const float level = dB < -200.0f ? 0.0f : std::pow(10.0f, dB / 20.0f);
        for (int i = 0; i < 512; ++i) a[static_cast<size_t>(i)] = b[static_cast<size_t>(i)] =
            level * std::sin(static_cast<float>(i) * 0.0627f);
        std::vector<VstMidiEvent> events;
        for (const auto& m : midi) {
            VstMidiEvent e{};
            e.type = kVstMidiType;
            e.byteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);
            for (size_t i = 0; i < m.size() && i < 3; ++i) e.midiData[i] = static_cast<char>(m[i]);
            events.push_back(e);
        }
        if (!events.empty()) host.SendEvents(events);
        float* in[2] = {a.data(), b.data()};
        float* out[2] = {oa.data(), ob.data()};
        host.ProcessReplacing(in, out, 512);
    }

    unsigned long Pixel(Window w, int x, int y) { return PixelAt(test, w, x, y); }
    unsigned long Lamp(int x) { return Pixel(current, x, lampY); }

    template <typename F>
    bool WaitFor(F done, int timeoutMs = 5000)
    {
        return bwtest::WaitUntil(done, timeoutMs);
    }

    void MoveTo(Window w, int x, int y)
    {
        int rx, ry;
        Window child;
        XTranslateCoordinates(test, w, DefaultRootWindow(test), x, y, &rx, &ry, &child);
        bwtest::FakeMotion(test, rx, ry);
    }

    void Press(unsigned button, bool down) { bwtest::FakeButton(test, button, down); }

    void ClickAt(Window w, int x, int y, unsigned button = 1) { FakeClick(test, w, x, y, button); }

    Window TopLevel(const char* prefix, bool atEnd = false) { return TopLevelNamed(test, prefix, atEnd); }

    Window WaitForTopLevel(const char* prefix)
    {
        Window w = 0;
        WaitFor([&] { return (w = TopLevel(prefix)) != 0; });
        return w;
    }

    int LogoInk() { return bwtest::LogoInk(test, current); }

    // What the process wrote to file descriptor 2 since the test began.
    std::string Stderr() const { return captured->SoFar(); }

    float Parameter(int index) { return effect->getParameter(effect, index); }
    void SetParameter(int index, float v) { effect->setParameter(effect, index, v); }


    vsthost::Host host;
    AEffect* effect = nullptr;
    Display* test = nullptr;
    Window window = 0, current = 0;
    bool open = false;
    std::vector<Window> windows;
    XErrorHandler previous = nullptr;
    std::optional<StderrCapture> captured;
    std::unique_ptr<Watchdog> dog;
};

}  // namespace bwtest
