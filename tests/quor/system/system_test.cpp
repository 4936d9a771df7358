#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "quor/system/SOperatingSystemData.h"
#include "quor/system/SProcessorData.h"
#include "quor/system/SSystemData.h"

using quor::system::SOperatingSystemData;
using quor::system::SProcessorData;
using quor::system::SSystemData;
namespace fs = std::filesystem;

namespace {

// A private directory of small proc-like files.
class ProcFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/bw_system_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const char* name, const std::string& text)
    {
        std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string Missing() const { return dir + "/absent"; }

    // Gathers like the load-time code does, from the given files.
    struct Verdict {
        bool os, mmx, sse, sse2;
        bool plain, withSSE, withSSE2;
        std::string stderrText;
    };
    Verdict Gather(const std::string& cpuinfo, const std::string& osrelease)
    {
        SSystemData data(cpuinfo.c_str(), osrelease.c_str());
        ::testing::internal::CaptureStderr();
        data.getOSInfos();
        data.getCPUInfos();
        fflush(stderr);
        Verdict v;
        v.stderrText = ::testing::internal::GetCapturedStderr();
        v.os = data.OSAcceptable();
        v.mmx = data.MMX();
        v.sse = data.SSE();
        v.sse2 = data.SSE2();
        v.plain = data.Qualifies(false, false);
        v.withSSE = data.Qualifies(true, false);
        v.withSSE2 = data.Qualifies(true, true);
        return v;
    }

    std::string dir;
    const std::string fullFlags = "processor\t: 0\nflags\t\t: fpu tsc mmx fxsr sse sse2 ht\n";
};

}  // namespace

TEST_F(ProcFiles, MmxOnlyProcessorOnA26Kernel)
{
    Verdict v = Gather(Write("cpuinfo", "flags\t\t: fpu tsc mmx cx8\n"), Write("osrelease", "2.6.32-5-686\n"));
    EXPECT_TRUE(v.os);
    EXPECT_TRUE(v.mmx);
    EXPECT_FALSE(v.sse);
    EXPECT_FALSE(v.sse2);
    EXPECT_TRUE(v.plain);
    EXPECT_FALSE(v.withSSE);
    EXPECT_FALSE(v.withSSE2);
    EXPECT_EQ(v.stderrText, "");
}

TEST_F(ProcFiles, SseWithoutSse2AndTheSse2Substring)
{
    Verdict v = Gather(Write("cpuinfo", "flags : mmx sse\n"), Write("osrelease", "3.10.0\n"));
    EXPECT_TRUE(v.withSSE);
    EXPECT_FALSE(v.withSSE2);
    // "sse2" alone sets SSE as well: plain substring search.
    v = Gather(Write("cpuinfo2", "flags : mmx sse2\n"), Write("osrelease2", "3.10.0\n"));
    EXPECT_TRUE(v.sse);
    EXPECT_TRUE(v.sse2);
    EXPECT_TRUE(v.withSSE2);
    // Case-sensitive: "MMX" is not "mmx".
    v = Gather(Write("cpuinfo3", "flags : MMX SSE\n"), Write("osrelease3", "3.10.0\n"));
    EXPECT_FALSE(v.mmx);
    EXPECT_FALSE(v.plain);
}

TEST_F(ProcFiles, OnlyTheFirst2048BytesAreExamined)
{
    std::string text = "flags : fpu sse2 ";
    text.resize(2048 - 1, 'x');
    text += " mmx ";
    text.resize(3000, 'y');
    ASSERT_EQ(text.find("mmx"), 2048u);
    Verdict v = Gather(Write("cpuinfo", text), Write("osrelease", "2.6.32\n"));
    EXPECT_FALSE(v.mmx);
    EXPECT_TRUE(v.sse2);
    EXPECT_FALSE(v.plain);
    // Just inside the limit it counts.
    std::string inside = text;
    inside.replace(2044, 3, "mmx");
    v = Gather(Write("cpuinfo2", inside), Write("osrelease2", "2.6.32\n"));
    EXPECT_TRUE(v.mmx);
    EXPECT_TRUE(v.plain);
}

TEST_F(ProcFiles, MissingProcessorInformation)
{
    Verdict v = Gather(Missing(), Write("osrelease", "2.6.32\n"));
    EXPECT_EQ(v.stderrText, "Error: Reading /proc/cpuinfo failed (not found).");
    EXPECT_FALSE(v.mmx || v.sse || v.sse2);
    EXPECT_FALSE(v.plain);
    SProcessorData cpu(Missing().c_str());
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(cpu.QueryRegistry());
    EXPECT_TRUE(cpu.QueryFeatures());  // true whatever the read gave
    ::testing::internal::GetCapturedStderr();
}

TEST_F(ProcFiles, EmptyProcessorInformation)
{
    Verdict v = Gather(Write("cpuinfo", ""), Write("osrelease", "2.6.32\n"));
    EXPECT_EQ(v.stderrText, "Error: Reading /proc/cpuinfo failed (no data).");
    EXPECT_FALSE(v.plain);
}

TEST_F(ProcFiles, KernelReleases)
{
    struct Case {
        const char* release;
        bool acceptable;
    } cases[] = {
        {"2.4.20\n", false}, {"2.4\n", false},   {"2.2.19", false},       {"2.6.32-5-686\n", true},
        {"3.10.0\n", true},  {"2.5.1\n", true},  {"6.1.0-18-amd64\n", true},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string name = "osrelease" + std::to_string(n++);
        Verdict v = Gather(Write("cpuinfo", fullFlags), Write(name.c_str(), c.release));
        EXPECT_EQ(v.os, c.acceptable) << c.release;
        EXPECT_EQ(v.plain, c.acceptable) << c.release;
        EXPECT_EQ(v.withSSE2, c.acceptable) << c.release;
    }
    // Unreadable or empty release: the system counts as acceptable.
    EXPECT_TRUE(Gather(Write("cpuinfo", fullFlags), Missing()).os);
    EXPECT_TRUE(Gather(Write("cpuinfo", fullFlags), Write("empty", "")).os);
    // A release that fills the whole 4096-byte read is not used.
    std::string huge = "2.4.20";
    huge.resize(5000, ' ');
    EXPECT_TRUE(Gather(Write("cpuinfo", fullFlags), Write("huge", huge)).os);
}

TEST(SystemData, NothingIsSetBeforeGathering)
{
    SSystemData data("/nonexistent", "/nonexistent");
    EXPECT_FALSE(data.OSAcceptable());
    EXPECT_FALSE(data.MMX());
    EXPECT_FALSE(data.Qualifies(false, false));
    EXPECT_EQ(data.DisplayInfo(), nullptr);
}

TEST(LeadingNumber, ReadsTheLeadingDecimal)
{
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber("2.6.32-5-686"), 2.6);
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber("2.4.20"), 2.4);
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber("3.10.0"), 3.1);
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber("  10.4-rc1"), 10.4);
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber("6"), 6.0);
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber("abc"), 0.0);
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber(""), 0.0);
    // The 2.4 boundary as the check applies it.
    EXPECT_LT(SOperatingSystemData::LeadingNumber("2.4.99"), static_cast<double>(2.4f));
    EXPECT_GT(SOperatingSystemData::LeadingNumber("2.5"), static_cast<double>(2.4f));
}

namespace {

// Selects a German numeric locale (comma as decimal separator). The machine
// may not have one installed; it is then compiled from the locale sources
// into a private directory, when those exist.
class CommaLocale {
public:
    CommaLocale()
    {
        if (setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
            active = true;
            return;
        }
        char pattern[] = "/tmp/bw_locale_XXXXXX";
        if (!mkdtemp(pattern)) return;
        dir = pattern;
        std::string command = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
        if (std::system(command.c_str()) != 0) return;
        const char* old = getenv("LOCPATH");
        if (old) oldLocpath = old, hadLocpath = true;
        setenv("LOCPATH", dir.c_str(), 1);
        active = setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    ~CommaLocale()
    {
        setlocale(LC_NUMERIC, "C");
        if (!dir.empty()) {
            if (hadLocpath)
                setenv("LOCPATH", oldLocpath.c_str(), 1);
            else
                unsetenv("LOCPATH");
            fs::remove_all(dir);
        }
    }
    bool active = false;

private:
    std::string dir, oldLocpath;
    bool hadLocpath = false;
};

}  // namespace

TEST_F(ProcFiles, ReleaseIsReadTheSameUnderACommaLocale)
{
    CommaLocale locale;
    if (!locale.active)
        GTEST_SKIP() << "no de_DE.UTF-8 locale installed and none could be built with localedef";
    // The premise: this locale's strtod stops at the dot.
    ASSERT_DOUBLE_EQ(strtod("2.6", nullptr), 2.0) << "the locale does not use a comma";
    EXPECT_DOUBLE_EQ(SOperatingSystemData::LeadingNumber("2.6.32"), 2.6);
    EXPECT_TRUE(Gather(Write("cpuinfo", fullFlags), Write("osrelease", "2.6.32-5-686\n")).os);
    EXPECT_FALSE(Gather(Write("cpuinfo", fullFlags), Write("osrelease2", "2.4.20\n")).os);
}
