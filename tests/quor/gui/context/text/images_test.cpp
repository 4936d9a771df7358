// The embedded XPM artwork: parsed by libXpm, its sizes and colour counts,
// what it shows, and the logo as the X server has it (also written to
// <build>/text_logo.png for a look).

#include <gtest/gtest.h>
// After gtest: X.h defines None.
#include <X11/xpm.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "TextFixture.h"
#include "plugin/ui/images/images.h"
#include "quor/gui/context/SDrawBitmap.h"

namespace {

char** XpmData(const char* const* lines)
{
    return const_cast<char**>(lines);  // libXpm only reads it
}

struct Rgb {
    int r, g, b;
};

// The image's pixels as colours, parsed without a display.
struct Parsed {
    unsigned width = 0, height = 0, colours = 0, cpp = 0;
    std::vector<Rgb> pixels;
    std::set<unsigned> usedIndices;
    std::set<std::string> colourTexts;
};

Parsed Parse(const char* const* lines)
{
    Parsed p;
    XpmImage image;
    XpmInfo info;
    const int rc = XpmCreateXpmImageFromData(XpmData(lines), &image, &info);
    EXPECT_EQ(rc, XpmSuccess);
    if (rc != XpmSuccess) return p;
    p.width = image.width;
    p.height = image.height;
    p.colours = image.ncolors;
    p.cpp = image.cpp;
    std::vector<Rgb> table;
    for (unsigned i = 0; i < image.ncolors; ++i) {
        const char* c = image.colorTable[i].c_color;
        unsigned v = 0;
        EXPECT_TRUE(c && sscanf(c, "#%6x", &v) == 1) << (c ? c : "(none)");
        table.push_back({int(v >> 16), int((v >> 8) & 255), int(v & 255)});
        p.colourTexts.insert(c ? c : "");
    }
    for (unsigned i = 0; i < image.width * image.height; ++i) {
        p.usedIndices.insert(image.data[i]);
        p.pixels.push_back(table.at(image.data[i]));
    }
    XpmFreeXpmImage(&image);
    XpmFreeXpmInfo(&info);
    return p;
}

bool Warm(const Rgb& c)
{
    return c.r >= 150 && c.r >= c.g && c.g >= c.b && c.r - c.b >= 90;
}

uint32_t Crc32(const unsigned char* p, size_t n, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG with stored (uncompressed) deflate blocks: no library needed.
bool WritePng(const std::string& path, int w, int h, const std::vector<unsigned long>& rgb)
{
    std::vector<unsigned char> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            const unsigned long p = rgb[static_cast<size_t>(y * w + x)];
            raw.push_back((p >> 16) & 255), raw.push_back((p >> 8) & 255), raw.push_back(p & 255);
        }
    }
    std::vector<unsigned char> z = {0x78, 0x01};
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z.push_back(at + n >= raw.size() ? 1 : 0);
        z.push_back(n & 255), z.push_back(n >> 8), z.push_back(~n & 255), z.push_back((~n >> 8) & 255);
        z.insert(z.end(), raw.begin() + static_cast<long>(at), raw.begin() + static_cast<long>(at + n));
        if (at + n >= raw.size()) break;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    const uint32_t adler = (b << 16) | a;
    z.push_back(adler >> 24), z.push_back(adler >> 16), z.push_back(adler >> 8), z.push_back(adler);

    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    auto be32 = [](uint32_t v, unsigned char* o) { o[0] = v >> 24, o[1] = v >> 16, o[2] = v >> 8, o[3] = v; };
    auto chunk = [&](const char* tag, const std::vector<unsigned char>& data) {
        unsigned char len[4], crcb[4];
        be32(static_cast<uint32_t>(data.size()), len);
        fwrite(len, 1, 4, f);
        fwrite(tag, 1, 4, f);
        if (!data.empty()) fwrite(data.data(), 1, data.size(), f);
        uint32_t crc = Crc32(reinterpret_cast<const unsigned char*>(tag), 4);
        if (!data.empty()) crc = Crc32(data.data(), data.size(), crc);
        be32(crc, crcb);
        fwrite(crcb, 1, 4, f);
    };
    static const unsigned char sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    fwrite(sig, 1, 8, f);
    std::vector<unsigned char> ihdr(13, 0);
    be32(static_cast<uint32_t>(w), &ihdr[0]);
    be32(static_cast<uint32_t>(h), &ihdr[4]);
    ihdr[8] = 8, ihdr[9] = 2;
    chunk("IHDR", ihdr);
    chunk("IDAT", z);
    chunk("IEND", {});
    return fclose(f) == 0;
}

}  // namespace

TEST(Images, HeadersSizesAndColourCounts)
{
    EXPECT_STREQ(quor::images::text_logo[0], "80 25 109 2");
    EXPECT_STREQ(quor::images::cursor_arrow_AND[0], "24 24 2 1");
    EXPECT_STREQ(quor::images::cursor_arrow_XOR[0], "24 24 116 2");
    struct {
        const char* const* lines;
        unsigned w, h, colours, cpp;
    } images[] = {
        {quor::images::text_logo, 80, 25, 109, 2},
        {quor::images::cursor_arrow_AND, 24, 24, 2, 1},
        {quor::images::cursor_arrow_XOR, 24, 24, 116, 2},
    };
    for (const auto& i : images) {
        const Parsed p = Parse(i.lines);
        EXPECT_EQ(p.width, i.w);
        EXPECT_EQ(p.height, i.h);
        EXPECT_EQ(p.colours, i.colours);
        EXPECT_EQ(p.cpp, i.cpp);
        // Every entry of the table is a different colour and is used.
        EXPECT_EQ(p.colourTexts.size(), i.colours);
        EXPECT_EQ(p.usedIndices.size(), i.colours);
    }
}

TEST(Images, LogoIsWarmLetteringOnThePanelGrey)
{
    const Parsed p = Parse(quor::images::text_logo);
    ASSERT_EQ(p.pixels.size(), 80u * 25u);
    auto at = [&](int x, int y) { return p.pixels[static_cast<size_t>(y * 80 + x)]; };
    for (auto c : {at(0, 0), at(79, 0), at(0, 24), at(79, 24)}) {
        EXPECT_EQ(c.r, 77);
        EXPECT_EQ(c.g, 81);
        EXPECT_EQ(c.b, 84);
    }
    int background = 0, warm = 0, orange = 0, red = 0;
    int left = 80, right = -1, top = 25, bottom = -1;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) {
            const Rgb c = at(x, y);
            if (c.r == 77 && c.g == 81 && c.b == 84) {
                ++background;
                continue;
            }
            if (!Warm(c)) continue;
            ++warm;
            if (c.g > c.r * 0.5) ++orange;
            if (c.g < c.r * 0.35) ++red;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    EXPECT_GT(background, 80 * 25 / 2);
    EXPECT_GT(warm, 250);
    EXPECT_GT(orange, 60);
    EXPECT_GT(red, 40);
    // Lettering across nearly the whole width, with a margin all round.
    EXPECT_LE(left, 6);
    EXPECT_GE(right, 73);
    EXPECT_LE(top, 6);
    EXPECT_GE(bottom, 18);
    EXPECT_GT(left, 0);
    EXPECT_LT(right, 79);
    EXPECT_GT(top, 0);
    EXPECT_LT(bottom, 24);
    // Orange above, red below.
    double upper = 0, lower = 0;
    int nu = 0, nl = 0;
    for (int x = 0; x < 80; ++x)
        for (int y = 0; y < 25; ++y) {
            const Rgb c = at(x, y);
            if (!Warm(c)) continue;
            if (y < 10) upper += double(c.g) / c.r, ++nu;
            if (y > 15) lower += double(c.g) / c.r, ++nl;
        }
    ASSERT_GT(nu, 0);
    ASSERT_GT(nl, 0);
    EXPECT_GT(upper / nu, lower / nl + 0.2);
}

TEST(Images, CursorImagesShowTheOutlinedOrangeArrow)
{
    static const char* const arrow[] = {
        "#", "##", "#o#", "#oo#", "#ooo#", "#oooo#", "#ooooo#", "#oooooo#", "#ooooooo#",
        "#oooooooo#", "#ooooooooo#", "#oooooooooo#", "#ooooooooooo#", "#oooooooooooo#",
        "#ooooooo#######", "#ooo#ooo#", "#oo#.#ooo#", "#o#..#ooo#", "##....#ooo#",
        "#.....#ooo#", ".......#ooo#", ".......#oo##", "........###",
    };
    const Parsed mask = Parse(quor::images::cursor_arrow_AND);
    const Parsed colour = Parse(quor::images::cursor_arrow_XOR);
    ASSERT_EQ(mask.pixels.size(), 576u);
    ASSERT_EQ(colour.pixels.size(), 576u);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const char k = (y < 23 && x < static_cast<int>(strlen(arrow[y]))) ? arrow[y][x] : '.';
            const Rgb m = mask.pixels[y * 24 + x];
            const Rgb c = colour.pixels[y * 24 + x];
            if (k == '.') {
                EXPECT_EQ(m.r + m.g + m.b, 3 * 255) << x << "," << y << ": the mask keeps the screen";
                EXPECT_EQ(c.r + c.g + c.b, 0) << x << "," << y << ": xor with black changes nothing";
            } else {
                EXPECT_EQ(m.r + m.g + m.b, 0) << x << "," << y;
                if (k == '#')
                    EXPECT_LT(c.r + c.g + c.b, 140) << x << "," << y << ": outline";
                else
                    EXPECT_TRUE(c.r >= 200 && c.r > c.g && c.g > c.b) << x << "," << y << ": orange body";
            }
        }
}

class ImagesOnServer : public bwtest::Canvas {};

TEST_F(ImagesOnServer, LogoPixmapHoldsTheExactColoursAndIsWrittenAsPng)
{
    // The client-side image first: on a true-colour screen every one of the
    // 109 colours arrives exactly.
    XImage* image = nullptr;
    XImage* shape = nullptr;
    ASSERT_EQ(XpmCreateImageFromData(display, XpmData(quor::images::text_logo), &image, &shape, nullptr),
              XpmSuccess);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 80);
    EXPECT_EQ(image->height, 25);
    EXPECT_EQ(shape, nullptr);
    std::set<unsigned long> distinct;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) distinct.insert(XGetPixel(image, x, y) & 0xFFFFFF);
    EXPECT_EQ(distinct.size(), 109u);
    EXPECT_EQ(XGetPixel(image, 0, 0) & 0xFFFFFF, 0x4D5154u);

    // Then through the toolkit's bitmap, read back from the server.
    quor::gui::context::SDrawBitmap bitmap(quor::images::text_logo, 0, 0, false);
    ASSERT_NE(bitmap.GetPixmap(), 0u);
    EXPECT_EQ(bitmap.Width(), 80);
    EXPECT_EQ(bitmap.Height(), 25);
    XImage* back = XGetImage(display, bitmap.GetPixmap(), 0, 0, 80, 25, AllPlanes, ZPixmap);
    ASSERT_NE(back, nullptr);
    std::vector<unsigned long> rgb;
    int differing = 0;
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 80; ++x) {
            rgb.push_back(XGetPixel(back, x, y) & 0xFFFFFF);
            differing += rgb.back() != (XGetPixel(image, x, y) & 0xFFFFFF);
        }
    EXPECT_EQ(differing, 0);
    XDestroyImage(back);
    XDestroyImage(image);

    const char* dir = getenv("BW_BINARY_DIR");
    const std::string path = std::string(dir ? dir : ".") + "/text_logo.png";
    EXPECT_TRUE(WritePng(path, 80, 25, rgb)) << path;
    printf("logo written to %s\n", path.c_str());
}

TEST_F(ImagesOnServer, CursorImagesLoadAsPixmaps)
{
    for (const char* const* lines : {quor::images::cursor_arrow_AND, quor::images::cursor_arrow_XOR}) {
        Pixmap pixmap = 0, shape = 0;
        XpmAttributes attributes;
        attributes.valuemask = XpmCloseness;
        attributes.closeness = 40000;
        ASSERT_EQ(XpmCreatePixmapFromData(display, DefaultRootWindow(display), XpmData(lines), &pixmap, &shape,
                                          &attributes),
                  XpmSuccess);
        EXPECT_NE(pixmap, 0u);
        EXPECT_EQ(shape, 0u);
        Window root;
        int x, y;
        unsigned w, h, border, depth;
        XGetGeometry(display, pixmap, &root, &x, &y, &w, &h, &border, &depth);
        EXPECT_EQ(w, 24u);
        EXPECT_EQ(h, 24u);
        XImage* img = XGetImage(display, pixmap, 0, 0, 24, 24, AllPlanes, ZPixmap);
        ASSERT_NE(img, nullptr);
        // The hot spot is part of the arrow: black in the mask, the outline's
        // dark tone in the colour image; the far corner is see-through.
        const unsigned long hot = XGetPixel(img, 0, 0) & 0xFFFFFF;
        if (lines == quor::images::cursor_arrow_AND)
            EXPECT_EQ(hot, 0u);
        else
            EXPECT_LT(((hot >> 16) & 255) + ((hot >> 8) & 255) + (hot & 255), 140u);
        EXPECT_EQ(XGetPixel(img, 23, 23) & 0xFFFFFF, lines == quor::images::cursor_arrow_AND ? 0xFFFFFFu : 0u);
        XDestroyImage(img);
        XFreePixmap(display, pixmap);
    }
}
