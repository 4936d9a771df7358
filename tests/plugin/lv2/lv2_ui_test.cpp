// The LV2 UI in a small X11 UI host of the test's own, as LV2 hosts drive it:
// the UI object loaded with dlopen, instantiated in a window of the test's
// (ui:parent) with ui:resize and ui:idleInterface, fed port events and idled.
// Checked by reading pixels back and clicking with XTest: the panel sits in
// the parent at its size, the lamps follow the activity outputs, and the
// dialogs' settings reach the control ports through the host's write
// function, on the host's thread.

#include <gtest/gtest.h>

#include "tools/vsthost/VstHost.h"  // before Xlib, whose macros clash with its names

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <dlfcn.h>
#include <lv2/ui/ui.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "FakeInput.h"
#include "HostDisplayTest.h"
#include "ScaledPicture.h"
#include "WindowProbe.h"
#include "plugin/lv2/Lv2Support.h"

namespace {

const char* const PluginUri = "https://quor.audio/lv2/blinkwatcher";
enum { Threshold = 6, NoteOnKind = 7, AudioAct = 14, MidiAct = 15 };
constexpr int lampY = 50, audioLampX = 42, midiLampX = 60;

unsigned long Rgb(int r, int g, int b) { return (static_cast<unsigned long>(r) << 16) | (g << 8) | b; }
const unsigned long black = Rgb(0, 0, 0), green = Rgb(0, 255, 0), orange = Rgb(255, 128, 0);

class Lv2Ui : public bwtest::HostDisplayTest {
protected:
    void SetUp() override
    {
        HostDisplayTest::SetUp();
        if (HasFatalFailure()) return;
        library = dlopen(BW_LV2_UI, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor = entry(0);
        ASSERT_NE(descriptor, nullptr);
        EXPECT_STREQ(descriptor->URI, "https://quor.audio/lv2/blinkwatcher#ui");
        EXPECT_EQ(entry(1), nullptr);
        idle = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);
        parent = NewWindow(300, 300, 300, 200);
        hostThread = std::this_thread::get_id();
    }

    void TearDown() override
    {
        if (ui) descriptor->cleanup(ui);
        ui = nullptr;
        if (library) dlclose(library);
        HostDisplayTest::TearDown();
    }

    LV2UI_Handle Instantiate(bool withParent = true)
    {
        std::vector<const LV2_Feature*> features = {urids.Feature(), &idleFeature, &resizeFeature};
        if (withParent) features.push_back(&parentFeature);
        features.push_back(nullptr);
        widget = nullptr;
        return descriptor->instantiate(descriptor, PluginUri, "", Write, this, &widget, features.data());
    }
    void Port(uint32_t port, float value) { descriptor->port_event(ui, port, sizeof value, 0, &value); }

    // The host's side of the loop: idle calls 30 times a second until done.
    template <typename F>
    bool Until(F done, int timeoutMs = 5000)
    {
        return bwtest::WaitUntil(
            [&] {
                idle->idle(ui);
                if (done()) return true;
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                return false;
            },
            timeoutMs);
    }

    unsigned long Pixel(Window w, int x, int y) { return bwtest::PixelAt(test, w, x, y); }
    Window Widget() const { return static_cast<Window>(reinterpret_cast<uintptr_t>(widget)); }
    unsigned long Lamp(int x) { return Pixel(Widget(), x, lampY); }

    void ClickAt(Window w, int x, int y) { bwtest::FakeClick(test, w, x, y); }
    // The options dialog; ShownDialog: once it shows, painted.
    Window Dialog() { return bwtest::TopLevelNamed(test, "SOptionsDialog"); }
    Window ShownDialog() { return bwtest::ShownTopLevel(test, "SOptionsDialog"); }

    static void Write(LV2UI_Controller c, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer)
    {
        auto* self = static_cast<Lv2Ui*>(c);
        float v = -999.0f;
        if (size == sizeof v && protocol == 0) memcpy(&v, buffer, sizeof v);
        self->written.emplace_back(port, v);
        if (std::this_thread::get_id() != self->hostThread) ++self->writesOffThread;
    }
    static int Resize(LV2UI_Feature_Handle h, int width, int height)
    {
        static_cast<Lv2Ui*>(h)->resizes.emplace_back(width, height);
        return 0;
    }

    Window parent = 0;
    void* library = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    const LV2UI_Idle_Interface* idle = nullptr;
    LV2UI_Handle ui = nullptr;
    LV2UI_Widget widget = nullptr;
    bwtest::UridMap urids;
    LV2UI_Resize resize{this, Resize};
    LV2_Feature parentFeature{LV2_UI__parent, nullptr};
    LV2_Feature resizeFeature{LV2_UI__resize, &resize};
    LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
    std::vector<std::pair<uint32_t, float>> written;
    std::vector<std::pair<int, int>> resizes;
    int writesOffThread = 0;
    std::thread::id hostThread;
};

}  // namespace

TEST_F(Lv2Ui, EmbedsInTheParentAtItsSizeAndTheLampsFollowPortEvents)
{
    EXPECT_EQ(Instantiate(false), nullptr) << "without ui:parent there is nowhere to show";
    parentFeature.data = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
    ui = Instantiate();
    ASSERT_NE(ui, nullptr);
    ASSERT_NE(Widget(), 0u);
    Window root, up, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(test, Widget(), &root, &up, &children, &n));
    if (children) XFree(children);
    EXPECT_EQ(up, parent);
    EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{100, 75}}));
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(test, Widget(), &a));
    EXPECT_EQ(std::make_pair(a.width, a.height), std::make_pair(100, 75));

    // The host reports every port once after instantiating, audio playing:
    // the lamp must light although the panel's first full refresh (both
    // lamps dark) may come after the report, and the host reports a value
    // only when it changes.
    Port(Threshold, -50.0f);
    for (uint32_t k = 0; k < 7; ++k) Port(NoteOnKind + k, 1.0f);
    Port(AudioAct, 1.0f);
    Port(MidiAct, 0.0f);
    EXPECT_TRUE(Until([&] { return Lamp(audioLampX) == green && Lamp(midiLampX) == black; }));
    Port(AudioAct, 0.0f);
    ASSERT_TRUE(Until([&] { return Lamp(audioLampX) == black && Lamp(midiLampX) == black; }));
    // The logo's letters (orange to red) are drawn.
    auto logoInk = [&] { return bwtest::LogoInk(test, Widget()); };
    EXPECT_TRUE(Until([&] { return logoInk() > 100; })) << logoInk();

    // lamp colours after each port event: audio, MIDI
    const struct {
        uint32_t port;
        float value;
        unsigned long audio, midi;
    } steps[] = {{AudioAct, 1.0f, green, black}, {MidiAct, 1.0f, green, orange}, {AudioAct, 0.0f, black, orange},
                 {MidiAct, 0.0f, black, black},  {MidiAct, 1.0f, black, orange}, {MidiAct, 0.0f, black, black}};
    for (const auto& s : steps) {
        Port(s.port, s.value);
        EXPECT_TRUE(Until([&] { return Lamp(audioLampX) == s.audio && Lamp(midiLampX) == s.midi; }))
            << "port " << s.port << " = " << s.value;
    }
    EXPECT_TRUE(written.empty());
}

TEST_F(Lv2Ui, TheDialogsWriteTheControlPortsOnTheHostsThread)
{
    parentFeature.data = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
    ui = Instantiate();
    ASSERT_NE(ui, nullptr);
    // The dialog shows what the host reported; OK writes back what it shows.
    Port(Threshold, -40.4f);
    for (uint32_t k = 0; k < 7; ++k) Port(NoteOnKind + k, 1.0f);
    ClickAt(Widget(), audioLampX, lampY);
    Window dialog = 0;
    ASSERT_TRUE(Until([&] { return (dialog = ShownDialog()) != 0; }));
    ClickAt(dialog, 160 - 70 + 25, 100 - 30);  // OK
    ASSERT_TRUE(Until([&] { return !written.empty(); }));
    EXPECT_EQ(written, (std::vector<std::pair<uint32_t, float>>{{Threshold, -40.0f}}));
    written.clear();

    // All seven kinds ticked: untick all but control change, then OK.
    ClickAt(Widget(), midiLampX, lampY);
    ASSERT_TRUE(Until([&] { return (dialog = ShownDialog()) != 0; }));
    for (int k = 1; k <= 7; ++k)
        if (k != 3) ClickAt(dialog, 160 - 56 + 6, 20 * k + 16 + 6);
    ClickAt(dialog, 160 - 70 + 25, 228 - 30);  // OK
    ASSERT_TRUE(Until([&] { return written.size() >= 7; }));
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::pair<uint32_t, float>>{
                           {7, 0.0f}, {8, 0.0f}, {9, 1.0f}, {10, 0.0f}, {11, 0.0f}, {12, 0.0f}, {13, 0.0f}}));
    EXPECT_EQ(writesOffThread, 0);

    // Cancel writes nothing; closing with a dialog open is safe.
    written.clear();
    ClickAt(Widget(), audioLampX, lampY);
    ASSERT_TRUE(Until([&] { return (dialog = ShownDialog()) != 0; }));
    ClickAt(dialog, 20 + 25, 100 - 30);  // Cancel
    ASSERT_TRUE(Until([&] { return Dialog() == 0; }));
    for (int i = 0; i < 5; ++i) idle->idle(ui);
    EXPECT_TRUE(written.empty());
    ClickAt(Widget(), audioLampX, lampY);
    ASSERT_TRUE(Until([&] { return ShownDialog() != 0; }));
    descriptor->cleanup(ui);
    ui = nullptr;
    XSync(test, False);
    EXPECT_TRUE(bwtest::WaitUntil([&] { return Dialog() == 0; }));
}

// The factor is chosen as each UI is instantiated, as the VST editor's as it
// opens. At 2 the UI asks ui:resize for twice the size and shows the picture
// at 1x doubled, live lamps and the dialog included; the click on the
// enlarged lamp opens the dialog, and its OK writes the port as at 1x.
TEST_F(Lv2Ui, AtFactorTwoShowsThePictureAtOneXDoubled)
{
    struct Environment {
        const char* name = "BLINKWATCHER_SCALE";
        const bool had = getenv(name) != nullptr;
        const std::string saved = had ? getenv(name) : "";
        ~Environment() { had ? setenv(name, saved.c_str(), 1) : unsetenv(name); }
    } restore;
    parentFeature.data = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
    bwtest::Picture reference[3];  // lamps dark, audio lamp lit, the dialog
    std::vector<std::pair<uint32_t, float>> writtenAt[2];
    for (int f : {1, 2}) {
        setenv("BLINKWATCHER_SCALE", std::to_string(f).c_str(), 1);
        resizes.clear();
        ui = Instantiate();
        ASSERT_NE(ui, nullptr) << f;
        EXPECT_EQ(resizes, (std::vector<std::pair<int, int>>{{100 * f, 75 * f}}));
        XWindowAttributes a;
        ASSERT_TRUE(XGetWindowAttributes(test, Widget(), &a));
        EXPECT_EQ(std::make_pair(a.width, a.height), std::make_pair(100 * f, 75 * f));
        Port(Threshold, -40.4f);
        for (uint32_t k = 0; k < 7; ++k) Port(NoteOnKind + k, 1.0f);
        Port(MidiAct, 0.0f);

        // At 1x the picture once two grabs agree, at 2 once it is the one
        // at 1x doubled.
        auto shows = [&](bwtest::Picture& ref, Window w) {
            bwtest::Picture last;
            const bool settled = Until([&] {
                bwtest::Picture now = bwtest::Grab(test, w);
                if (f == 2) return bwtest::BlocksDiffering(ref, now, 2) == 0;
                const bool same = !now.pixels.empty() && now.pixels == last.pixels;
                last = std::move(now);
                return same;
            });
            if (f == 1) ref = last;
            return settled;
        };
        for (int lit : {0, 1}) {
            Port(AudioAct, static_cast<float>(lit));
            const unsigned long colour = lit ? green : black;
            EXPECT_TRUE(Until([&] { return Pixel(Widget(), audioLampX * f, lampY * f) == colour; })) << f;
            EXPECT_TRUE(shows(reference[lit], Widget())) << "the panel, lamp " << lit << ", at " << f;
        }
        Port(AudioAct, 0.0f);

        ClickAt(Widget(), audioLampX * f, lampY * f);
        Window dialog = 0;
        ASSERT_TRUE(Until([&] { return (dialog = ShownDialog()) != 0; })) << f;
        bwtest::FakeMotion(test, 1, 1);
        EXPECT_TRUE(shows(reference[2], dialog)) << "the dialog at " << f;
        ClickAt(dialog, (160 - 70 + 25) * f, (100 - 30) * f);  // OK
        ASSERT_TRUE(Until([&] { return !written.empty(); })) << f;
        writtenAt[f - 1] = written;
        written.clear();
        ASSERT_TRUE(Until([&] { return Dialog() == 0; }));
        descriptor->cleanup(ui);
        ui = nullptr;
    }
    EXPECT_EQ(writtenAt[0], (std::vector<std::pair<uint32_t, float>>{{Threshold, -40.0f}}));
    EXPECT_EQ(writtenAt[1], writtenAt[0]);
    EXPECT_EQ(writesOffThread, 0);
}

// The same panel as the VST edition's editor, pixel for pixel: both opened
// side by side in this process, with both lamps dark and then the audio lamp
// lit (a loud block in the VST edition, the activity output in the LV2 one).
TEST_F(Lv2Ui, LooksLikeTheVstEditor)
{
    vsthost::Host vst;
    ASSERT_TRUE(vst.Load(BW_VST_PLUGIN));
    vst.Start(48000.0f, 512);
    XSetWindowAttributes a = {};
    a.override_redirect = True;
    Window vstWindow = XCreateWindow(test, DefaultRootWindow(test), 600, 300, 100, 75, 0, CopyFromParent, InputOutput,
                                     CopyFromParent, CWOverrideRedirect, &a);
    XMapRaised(test, vstWindow);
    XSync(test, False);
    ASSERT_EQ(vst.Dispatch(effEditOpen, 0, reinterpret_cast<VstIntPtr>(test),
                           reinterpret_cast<void*>(static_cast<uintptr_t>(vstWindow))),
              1);
    parentFeature.data = reinterpret_cast<void*>(static_cast<uintptr_t>(parent));
    ui = Instantiate();
    ASSERT_NE(ui, nullptr);
    Port(AudioAct, 0.0f);
    Port(MidiAct, 0.0f);

    auto block = [&](float level) {
        std::vector<float> l(512, level), r(512, level), ol(512), orr(512);
        float* in[2] = {l.data(), r.data()};
        float* out[2] = {ol.data(), orr.data()};
        vst.ProcessReplacing(in, out, 512);
    };
    std::vector<unsigned long> lv2Picture, vstPicture;
    auto same = [&] {
        lv2Picture = bwtest::Grab(test, Widget()).pixels;
        vstPicture = bwtest::Grab(test, vstWindow).pixels;
        return !lv2Picture.empty() && lv2Picture == vstPicture;
    };
    block(0.0f);
    EXPECT_TRUE(Until([&] { return same() && Lamp(audioLampX) == black; }));
    Port(AudioAct, 1.0f);
    EXPECT_TRUE(Until([&] {
        block(0.5f);
        return same() && Lamp(audioLampX) == green;
    }));
    size_t differ = 0;
    for (size_t i = 0; i < lv2Picture.size() && i < vstPicture.size(); ++i) differ += lv2Picture[i] != vstPicture[i];
    EXPECT_EQ(differ, 0u) << "pixels that differ between the editions";

    vst.Dispatch(effEditClose);
    vst.Close();
    XDestroyWindow(test, vstWindow);
}
