// The entry point's refusals as the user sees them: in the process-wide
// message box, read back from the server (and saved as a picture for the
// record), and on standard error. The machine and the host's answer are the
// test's own.

#include "quor/gui/GuiFixture.h"  // first: gtest before Xlib

#include <unistd.h>

#include <fstream>
#include <string>

#include "plugin/PluginDoubles.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/SPluginEntry.h"
#include "quor/gui/PngShot.h"
#include "quor/gui/SInfo.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/system/SSystemData.h"

using bwtest::Locked;
using quor::gui::SMessageDialog;

namespace {

VstIntPtr Version2400(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// A machine described by files instead of /proc.
struct Machine {
    Machine(const char* flags, const char* release)
    {
        std::ofstream(cpu) << "processor\t: 0\nflags\t\t: " << flags << "\n";
        std::ofstream(os) << release << "\n";
        system.getCPUInfos();
        system.getOSInfos();
    }
    ~Machine()
    {
        unlink(cpu.c_str());
        unlink(os.c_str());
    }
    std::string cpu = "/tmp/bw-box-cpuinfo-" + std::to_string(getpid());
    std::string os = "/tmp/bw-box-osrelease-" + std::to_string(getpid());
    quor::system::SSystemData system{cpu.c_str(), os.c_str()};
};

int forcedResult = 0;
int32_t forcedHost = 0;

SPlugin* MakeRefused(audioMasterCallback host, int& result)
{
    SPlugin* plugin = new bwtest::EnginePlugin(host, forcedHost);
    result = forcedResult;
    return plugin;
}

class EntryMessages : public bwtest::GuiTest {};

TEST_F(EntryMessages, ARefusedLoadShowsItsReasonInTheBoxAndOnStandardError)
{
    struct Case {
        const char* flags;
        int result;
        int32_t host;
        const char* text;
    } cases[] = {
        {"fpu tsc cx8", 0, 0, "Failed to load plugin\n(Reason: System not supported\nPlease check the requirements)"},
        {"fpu mmx sse", 3, 13, "Failed to load plugin\n(Reason: Host not supported (Usine))"},
    };
    for (const Case& c : cases) {
        Machine machine(c.flags, "6.1.0");
        forcedResult = c.result;
        forcedHost = c.host;
        bwtest::StderrCapture capture;
        EXPECT_EQ(PluginEntry(Version2400, machine.system, MakeRefused), nullptr);
        EXPECT_EQ(capture.Text(), bwtest::InfoLine("Blinkwatcher", c.text));
        SMessageDialog* box = Locked([] { return quor::gui::SInfoBox(); });
        ASSERT_NE(box, nullptr);
        Locked([&] {
            EXPECT_STREQ(box->Message().Text(), c.text);
            EXPECT_STREQ(box->Title().Text(), "Blinkwatcher");
            EXPECT_TRUE(box->Shown());
            // Test programs share the server: looked at where no other test looks.
            box->SetPosition(40, 600);
            box->Foreground(true);
        });
        Settle();
        char* name = nullptr;
        ASSERT_TRUE(XFetchName(test, box->GetWindow(), &name));
        EXPECT_STREQ(name, "Blinkwatcher");
        XFree(name);
        EXPECT_EQ(PixelAt(box, 5, 60), Rgb(0, 0, 0));
        if (c.result == 0) {
            EXPECT_TRUE(bwtest::SaveWindowPng(test, box->GetWindow(), bwtest::BuildFile("message_box.png")));
        }
        Click(box->MessageButton(), 20, 10);
        XWindowAttributes a;
        EXPECT_TRUE(WaitFor([&] { return XGetWindowAttributes(test, box->GetWindow(), &a) && a.map_state == IsUnmapped; }));
    }
}

}  // namespace
