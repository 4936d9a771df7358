#include "quor/gui/context/SRotatedBits.h"

#include <cmath>

namespace quor {
namespace gui {
namespace context {

namespace {
const double kNudge = 8.326e-17;
const double kDegree = 0.017453292;

// To nearest, ties to even (the default rounding mode): used for the sizes.
int RoundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

// The source pixel whose square holds a mapped point. Rounding to nearest
// here would put quarter turns of odd-sized pictures exactly on ties, and the
// last bits of sin/cos would then break them differently in the two halves of
// the picture: the glyphs come out torn by a pixel. With exact quarter-turn
// sines and this floor, 90, 180 and 270 degrees are clean transpositions.
int Cell(double v)
{
    return static_cast<int>(std::floor(v));
}

int MakeOdd(int n)
{
    return (n % 2 == 0) ? n + 1 : n;
}

void SinCos(int angle, double* s, double* c)
{
    if (angle % 90 == 0) {
        static const double quarterSin[4] = {0, 1, 0, -1};
        const int q = ((angle / 90) % 4 + 4) % 4;
        *s = quarterSin[q];
        *c = quarterSin[(q + 1) % 4];
        return;
    }
    const float a = static_cast<float>(angle * kDegree);
    *s = std::sin(a);
    *c = std::cos(a);
}
}  // namespace

SRotatedBits::SRotatedBits(int w, int h)
{
    if (w <= 0 || h <= 0) return;
    width = w;
    height = h;
    stride = (w + 7) / 8;
    bits.assign(static_cast<size_t>(stride) * h, 0);
}

bool SRotatedBits::Get(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) return false;
    return (bits[static_cast<size_t>(y) * stride + x / 8] & (0x80 >> (x % 8))) != 0;
}

void SRotatedBits::Set(int x, int y, bool on)
{
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    unsigned char& byte = bits[static_cast<size_t>(y) * stride + x / 8];
    const unsigned char bit = static_cast<unsigned char>(0x80 >> (x % 8));
    byte = on ? (byte | bit) : (byte & ~bit);
}

int SRotatedBits::Count() const
{
    int n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) n += Get(x, y);
    return n;
}

void SRotatedBits::RotatedSize(int w, int h, int angle, int* outWidth, int* outHeight)
{
    double s, c;
    SinCos(angle, &s, &c);
    *outHeight = MakeOdd(RoundEven(std::fabs(c) * h + std::fabs(s) * w + 0.99999 + 2 + kNudge));
    *outWidth = MakeOdd(RoundEven(std::fabs(s) * h + std::fabs(c) * w + 0.99999 + 2 + kNudge));
}

SRotatedBits SRotatedBits::Rotate(const SRotatedBits& source, int angle)
{
    const int W = source.width;
    const int H = source.height;
    int dw = 0, dh = 0;
    RotatedSize(W, H, angle, &dw, &dh);
    SRotatedBits out(dw, dh);
    if (source.Empty()) return out;
    double s, c;
    SinCos(angle, &s, &c);
    const double halfW = W / 2.0;
    const double halfH = H / 2.0;
    for (int j = 0; j < dh; ++j) {
        const double v = j - dh / 2.0 + 0.5;
        const int row = dh - 1 - j;  // j counts from the bottom row upward
        for (int i = 0; i < dw; ++i) {
            const double u = i - dw / 2.0 + 0.5;
            const int x = Cell(c * u + s * v + halfW);
            const int y = Cell(halfH - (c * v - s * u));
            if (source.Get(x, y)) out.Set(i, row);
        }
    }
    return out;
}

SRotatedBits SRotatedBits::TurnUpright(const SRotatedBits& source)
{
    const int W = source.width;
    const int H = source.height;
    const int dw = MakeOdd(H);
    const int dh = MakeOdd(W);
    SRotatedBits out(dw, dh);
    if (source.Empty()) return out;
    for (int j = 0; j < dh; ++j) {
        const int row = dh - 1 - j;
        const int x = Cell(W / 2.0 + j - dh / 2.0 + 0.5);
        for (int i = 0; i < dw; ++i) {
            const int y = Cell(H / 2.0 + i - dw / 2.0 + 0.5);
            if (source.Get(x, y)) out.Set(i, row);
        }
    }
    return out;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
