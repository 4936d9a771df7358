// The entry point's decisions, with the system data and the plug-in factory
// injected: the refusals a host can only see on a machine that fails them.

#include <gtest/gtest.h>

#include <new>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "plugin/PluginDoubles.h"
#include "plugin/PluginTestSupport.h"
#include "plugin/SGlobals.h"
#include "plugin/SPluginEntry.h"
#include "quor/gui/SInfo.h"
#include "quor/system/SSystemData.h"

using bwtest::InfoLine;
using bwtest::StderrCapture;

namespace {

VstIntPtr Version2400(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

VstIntPtr NoVersion(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

// A machine described by files instead of /proc.
class FakeMachine {
public:
    FakeMachine(const char* flags, const char* release)
    {
        char cpuTemplate[] = "/tmp/bw-cpuinfo-XXXXXX";
        char osTemplate[] = "/tmp/bw-osrelease-XXXXXX";
        close(mkstemp(cpuTemplate));
        close(mkstemp(osTemplate));
        cpuPath = cpuTemplate;
        osPath = osTemplate;
        std::ofstream(cpuPath) << "processor\t: 0\nflags\t\t: " << flags << "\n";
        std::ofstream(osPath) << release << "\n";
        system = new quor::system::SSystemData(cpuPath.c_str(), osPath.c_str());
        system->getCPUInfos();
        system->getOSInfos();
    }
    ~FakeMachine()
    {
        delete system;
        unlink(cpuPath.c_str());
        unlink(osPath.c_str());
    }
    std::string cpuPath, osPath;
    quor::system::SSystemData* system;
};

int constructed = 0, destroyed = 0;
int forcedResult = 0;
int32_t forcedHost = 0;

class CountedPlugin : public bwtest::EnginePlugin {
public:
    CountedPlugin(audioMasterCallback host, int32_t code) : bwtest::EnginePlugin(host, code) { ++constructed; }
    ~CountedPlugin() override { ++destroyed; }
};

SPlugin* MakeCounted(audioMasterCallback host, int& result)
{
    SPlugin* p = new CountedPlugin(host, forcedHost);
    result = forcedResult;
    return p;
}

class Entry : public ::testing::Test {
protected:
    void SetUp() override
    {
        constructed = destroyed = 0;
        forcedResult = 0;
        forcedHost = 0;
    }
};

}  // namespace

TEST_F(Entry, ASupportedMachineGetsTheRecord)
{
    FakeMachine machine("fpu mmx sse sse2", "6.1.0-13-amd64");
    StderrCapture capture;
    AEffect* effect = PluginEntry(Version2400, *machine.system);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(capture.Text(), "");
}

TEST_F(Entry, MissingProcessorFeaturesRefuseWithTheSystemMessage)
{
    FakeMachine machine("fpu tsc cx8", "6.1.0");
    StderrCapture capture;
    EXPECT_EQ(PluginEntry(Version2400, *machine.system, MakeCounted), nullptr);
    EXPECT_EQ(capture.Text(), InfoLine("Blinkwatcher", "Failed to load plugin\n(Reason: System not supported\n"
                                                       "Please check the requirements)"));
    EXPECT_EQ(constructed, 0) << "nothing is built on an unsupported system";
}

TEST_F(Entry, AnOldKernelRefusesToo)
{
    FakeMachine machine("fpu mmx sse", "2.2.18");
    StderrCapture capture;
    EXPECT_EQ(PluginEntry(Version2400, *machine.system), nullptr);
    EXPECT_NE(capture.Text().find("System not supported"), std::string::npos);
}

TEST_F(Entry, AHostWithoutAVersionIsRefusedSilentlyBeforeAnyCheck)
{
    FakeMachine machine("fpu", "2.0");
    StderrCapture capture;
    EXPECT_EQ(PluginEntry(NoVersion, *machine.system, MakeCounted), nullptr);
    EXPECT_EQ(PluginEntry(nullptr, *machine.system, MakeCounted), nullptr);
    EXPECT_EQ(capture.Text(), "");
    EXPECT_EQ(constructed, 0);
}

TEST_F(Entry, ConstructionResultsDecideTheMessageAndTheObjectIsDeleted)
{
    FakeMachine machine("mmx", "3.10");
    struct Case {
        int result;
        int32_t host;
        std::string line;
    } cases[] = {
        {3, 13, InfoLine("Blinkwatcher", "Failed to load plugin\n(Reason: Host not supported (Usine))")},
        {3, 99, InfoLine("Blinkwatcher", "Failed to load plugin\n(Reason: Host not supported ((unknown)))")},
        {4, 0, ""},
        {7, 0, InfoLine("Blinkwatcher", std::string("Failed to load plugin\n(Reason: Internal Error\nPlease report to \n") +
                                            SPlugin::SupportContact + ")")},
        {-1, 0, InfoLine("Blinkwatcher", std::string("Failed to load plugin\n(Reason: Internal Error\nPlease report to \n") +
                                             SPlugin::SupportContact + ")")},
    };
    for (const Case& c : cases) {
        constructed = destroyed = 0;
        forcedResult = c.result;
        forcedHost = c.host;
        StderrCapture capture;
        EXPECT_EQ(PluginEntry(Version2400, *machine.system, MakeCounted), nullptr) << c.result;
        EXPECT_EQ(capture.Text(), c.line) << c.result;
        EXPECT_EQ(constructed, 1);
        EXPECT_EQ(destroyed, 1) << c.result;
    }
}

TEST_F(Entry, AnExceptionDuringConstructionNeverReachesTheHost)
{
    FakeMachine machine("mmx", "3.10");
    StderrCapture capture;
    AEffect* effect = nullptr;
    EXPECT_NO_THROW(effect = PluginEntry(Version2400, *machine.system,
                                         [](audioMasterCallback, int&) -> SPlugin* { throw std::bad_alloc(); }));
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(capture.Text(), InfoLine("Blinkwatcher", std::string("Failed to load plugin\n(Reason: Internal Error\n"
                                                                   "Please report to \n") +
                                                           SPlugin::SupportContact + ")"));
}

namespace {

// Runs out of memory in one request, and on closing.
class ThrowingPlugin : public CountedPlugin {
public:
    using CountedPlugin::CountedPlugin;
    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override
    {
        if (opcode == effGetVendorVersion || opcode == effClose) throw std::bad_alloc();
        return CountedPlugin::dispatcher(opcode, index, value, ptr, opt);
    }
};

}  // namespace

TEST_F(Entry, AnExceptionInARequestAnswersZeroAndCloseStillDeletes)
{
    FakeMachine machine("mmx", "3.10");
    AEffect* effect = PluginEntry(Version2400, *machine.system,
                                  [](audioMasterCallback host, int&) -> SPlugin* { return new ThrowingPlugin(host, 0); });
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->dispatcher(effect, effGetVendorVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0.0f), 2300);
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(destroyed, 1);
}

TEST_F(Entry, EffCloseDeletesTheInstanceOnce)
{
    FakeMachine machine("mmx sse", "5.0");
    AEffect* effect = PluginEntry(Version2400, *machine.system, MakeCounted);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(constructed, 1);
    EXPECT_EQ(destroyed, 1);
}

namespace {

// Checks at its own destruction that the shared resources still exist.
class OrderedEditor : public SPluginEditor {
public:
    OrderedEditor(SPlugin* plugin, int& result, bool& sawGlobals)
        : SPluginEditor(plugin, plugin->Globals(), result), owner(plugin), saw(sawGlobals)
    {
    }
    ~OrderedEditor() override { saw = owner->Globals() != nullptr; }
    SPlugin* owner;
    bool& saw;
};

class OrderedPlugin : public bwtest::LoadResult, public VSTPlugin {
public:
    OrderedPlugin(bool& saw) : VSTPlugin(nullptr, result) { AttachEditor(new OrderedEditor(this, result, saw)); }
};

}  // namespace

TEST(EntryDestruction, TheEditorGoesBeforeTheSharedResources)
{
    bool sawGlobals = false;
    AudioEffect* plugin = new OrderedPlugin(sawGlobals);
    EXPECT_EQ(plugin->getAeffect()->flags & effFlagsHasEditor, effFlagsHasEditor);
    AEffect* effect = plugin->getAeffect();
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_TRUE(sawGlobals);
}

TEST(MessageBoxStandIn, OneLinePerMessageWithEscapes)
{
    StderrCapture capture;
    quor::gui::SInfo("two\nlines", "Title");
    quor::gui::SInfo("back\\slash\ttab", "T");
    quor::gui::SInfo("", "");
    quor::gui::SInfo(nullptr, nullptr);
    EXPECT_EQ(capture.Text(), "Title: two\\nlines\nT: back\\\\slash\\x09tab\n: \n: \n");
}
