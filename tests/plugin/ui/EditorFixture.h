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
#include "HostDisplayTest.h"
#include "WindowProbe.h"

namespace bwtest {

inline unsigned long Rgb(int r, int g, int b)
{
    return (static_cast<unsigned long>(r) << 16) | (static_cast<unsigned long>(g) << 8) | static_cast<unsigned long>(b);
}

class EditorTest : public HostDisplayTest {
protected:
    static constexpr int lampY = 50;
    static constexpr int audioLampX = 42, midiLampX = 60;

    void SetUp() override
    {
        HostDisplayTest::SetUp();
        if (HasFatalFailure()) return;
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
        HostDisplayTest::TearDown();
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

    // Once it shows, painted, so that a click finds its buttons.
    Window WaitForTopLevel(const char* prefix)
    {
        Window w = 0;
        WaitFor([&] { return (w = bwtest::ShownTopLevel(test, prefix)) != 0; });
        return w;
    }

    // Empty once the dialog named `prefix` has gone after a click at (x, y)
    // of it; else what stood under the pointer, and whether a second click
    // there closed it (for the failure's message: the click is still lost).
    std::string GoneAfterClick(const char* prefix, Window dialog, int x, int y)
    {
        if (WaitFor([&] { return TopLevel(prefix) == 0; })) return "";
        Window root, child, deepest = DefaultRootWindow(test);
        int rx, ry, wx, wy, ox, oy;
        unsigned mask;
        XQueryPointer(test, DefaultRootWindow(test), &root, &child, &rx, &ry, &wx, &wy, &mask);
        for (Window w = DefaultRootWindow(test); w;) {
            deepest = w;
            if (!XQueryPointer(test, w, &root, &child, &rx, &ry, &wx, &wy, &mask)) break;
            w = child;
        }
        XTranslateCoordinates(test, dialog, DefaultRootWindow(test), x, y, &ox, &oy, &child);
        char text[256];
        snprintf(text, sizeof text, "still shown; pointer at %d,%d (the click's point %d,%d), buttons 0x%x, over window 0x%lx "
                 "(dialog 0x%lx)", rx, ry, ox, oy, mask, deepest, dialog);
        ClickAt(dialog, x, y);
        return std::string(text) + (WaitFor([&] { return TopLevel(prefix) == 0; }, 2000) ? "; a second click closed it"
                                                                                         : "; a second click did not");
    }

    int LogoInk() { return bwtest::LogoInk(test, current); }

    float Parameter(int index) { return effect->getParameter(effect, index); }
    void SetParameter(int index, float v) { effect->setParameter(effect, index, v); }


    vsthost::Host host;
    AEffect* effect = nullptr;
    Window window = 0, current = 0;
    bool open = false;
};

}  // namespace bwtest
