// The entry point's refusals as the user sees them: in the process-wide
// message box, read back from the server (and saved as a picture for the
// record), and on standard error. Machine and host answer are the test's.

#include "quor/gui/GuiFixture.h"  // first: gtest before Xlib

#include <unistd.h>

#include <fstream>

#include "plugin/PluginDoubles.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/SPluginEntry.h"
#include "quor/gui/PngShot.h"
#include "quor/gui/SInfo.h"
#include "quor/gui/SMessageDialog.h"
#include "quor/system/SSystemData.h"

using bwtest::Locked;

namespace {

VstIntPtr Version2400(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

int forcedResult = 0;

SPlugin* MakeForced(audioMasterCallback host, int& result)
{
    SPlugin* plugin = new bwtest::EnginePlugin(host, 13);  // Usine
    result = forcedResult;
    return plugin;
}

class EntryMessages : public bwtest::GuiTest {};

TEST_F(EntryMessages, ARefusedLoadShowsItsReasonInTheBoxAndOnStandardError)
{
    const std::string cpu = "/tmp/bw-box-cpu-" + std::to_string(getpid()), os = cpu + "-os";
    std::ofstream(os) << "6.1.0\n";
    for (int result : {2, 3}) {
        // An old processor refuses before anything is built; the host refusal comes from construction.
        std::ofstream(cpu) << "flags\t\t: fpu tsc " << (result == 2 ? "cx8" : "mmx sse") << "\n";
        quor::system::SSystemData machine(cpu.c_str(), os.c_str());
        machine.getCPUInfos();
        machine.getOSInfos();
        forcedResult = result;
        const char* text = result == 2 ? "Failed to load plugin\n(Reason: System not supported\nPlease check the requirements)"
                                       : "Failed to load plugin\n(Reason: Host not supported (Usine))";
        bwtest::StderrCapture capture;
        EXPECT_EQ(PluginEntry(Version2400, machine, MakeForced), nullptr);
        EXPECT_EQ(capture.Text(), bwtest::InfoLine("Blinkwatcher", text));
        quor::gui::SMessageDialog* box = Locked([] { return quor::gui::SInfoBox(); });
        ASSERT_NE(box, nullptr);
        Locked([&] {
            EXPECT_STREQ(box->Message().Text(), text);
            EXPECT_STREQ(box->Title().Text(), "Blinkwatcher");
            box->SetPosition(40, 600);  // where no other test program looks
        });
        Settle();
        EXPECT_EQ(PixelAt(box->MessageButton(), 4, 10), Rgb(44, 44, 44));
        if (result == 2) {
            EXPECT_TRUE(bwtest::SaveWindowPng(test, box->GetWindow(), "message_box.png"));
        }
        Click(box->MessageButton(), 20, 10);
        EXPECT_FALSE(Locked([&] { return box->Shown(); }));
    }
    unlink(cpu.c_str());
    unlink(os.c_str());
}

}  // namespace
