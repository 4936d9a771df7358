// vsthost editor: the plug-in's editor in a host window while audio plays,
// in each of the three ways hosts serve an editor, checked on screenshots.

#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "plugin/PluginTestSupport.h"
#include "tools/vsthost/Commands.h"

using bwtest::PluginPath;

namespace {

struct Picture {
    int width = 0, height = 0;
    std::vector<png_byte> rgb;
    unsigned long At(int x, int y) const
    {
        const size_t i = static_cast<size_t>((y * width + x) * 3);
        return (static_cast<unsigned long>(rgb[i]) << 16) | (static_cast<unsigned long>(rgb[i + 1]) << 8) | rgb[i + 2];
    }
};

bool Read(const std::string& path, Picture& p)
{
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    p.width = static_cast<int>(image.width);
    p.height = static_cast<int>(image.height);
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr) != 0;
}

int Vsthost(const std::vector<std::string>& args, std::string* out = nullptr)
{
    std::ostringstream o, e;
    int code = vsthost::RunCommand(args, o, e);
    if (out) *out = o.str() + e.str();
    return code;
}

TEST(EditorCommand, TheLampsShowTheGeneratedProgrammeInEveryHostConvention)
{
    ASSERT_NE(getenv("DISPLAY"), nullptr) << "needs an X server";
    const std::string dir = "/tmp/bw-editor-" + std::to_string(getpid());
    ASSERT_EQ(system(("mkdir -p " + dir).c_str()), 0);
    for (const char* convention : {"forward", "idle", "none"}) {
        const std::string dark = dir + "/dark.png", lit = dir + "/lit.png";
        std::string said;
        // The programme is loud (and has notes) in the second quarter of
        // every second, quiet otherwise.
        ASSERT_EQ(Vsthost({"editor", PluginPath(), "--convention", convention, "--seconds", "1", "--position", "40,40",
                       "--screenshot", dark + "@0.75," + lit + "@1.375", "--quiet"},
                      &said),
                  vsthost::ExitOk)
            << said;
        Picture d, l;
        ASSERT_TRUE(Read(dark, d));
        ASSERT_TRUE(Read(lit, l));
        ASSERT_EQ(d.width, 100);
        ASSERT_EQ(d.height, 75);
        EXPECT_EQ(d.At(42, 50), 0x000000u) << convention;
        EXPECT_EQ(d.At(60, 50), 0x000000u) << convention;
        EXPECT_EQ(l.At(42, 50), 0x00FF00u) << convention;
        EXPECT_EQ(l.At(60, 50), 0xFF8000u) << convention;
        // --scale 2: the same lit picture, each pixel a 2 x 2 block.
        const std::string lit2 = dir + "/lit2.png";
        ASSERT_EQ(Vsthost({"editor", PluginPath(), "--convention", convention, "--seconds", "1", "--position", "40,40",
                           "--scale", "2", "--screenshot", lit2 + "@1.375", "--quiet"},
                          &said),
                  vsthost::ExitOk)
            << said;
        unsetenv("BLINKWATCHER_SCALE");
        Picture l2;
        ASSERT_TRUE(Read(lit2, l2));
        ASSERT_EQ(l2.width, 200);
        ASSERT_EQ(l2.height, 150);
        int differing = 0;
        for (int y = 0; y < 150; ++y)
            for (int x = 0; x < 200; ++x) differing += l2.At(x, y) != l.At(x / 2, y / 2);
        EXPECT_EQ(differing, 0) << convention;
        unlink(dark.c_str());
        unlink(lit.c_str());
        unlink(lit2.c_str());
    }
    rmdir(dir.c_str());
}

TEST(EditorCommand, ClearErrors)
{
    std::string said;
    EXPECT_EQ(Vsthost({"editor"}, &said), vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"editor", PluginPath(), "--convention", "sometimes"}, &said), vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"editor", PluginPath(), "--screenshot", "nowhen.png"}, &said), vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"editor", PluginPath(), "--scale", "5"}, &said), vsthost::ExitUsage);
    EXPECT_EQ(Vsthost({"editor", "/nonexistent/plugin.so"}, &said), vsthost::ExitFile) << said;
    EXPECT_EQ(Vsthost({"editor", PROBE_PLUGIN, "--seconds", "0"}, &said), vsthost::ExitNoEditor) << said;
    EXPECT_NE(said.find("has no editor"), std::string::npos) << said;
    EXPECT_EQ(Vsthost({"editor", PluginPath(), "--wav", "/nonexistent.wav"}, &said), vsthost::ExitFile) << said;
}

}  // namespace
