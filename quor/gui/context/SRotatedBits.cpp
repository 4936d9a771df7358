#include "quor/gui/context/SRotatedBits.h"

#include <cmath>

namespace quor {
namespace gui {
namespace context {

namespace {
// Added before every rounding; it tips exact halves below 1 upward.
const double kNudge = 8.326e-17;
const double kDegree = 0.017453292;

// To nearest, ties to even (the default rounding mode).
int RoundEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

int MakeOdd(int n)
{
    return (n % 2 == 0) ? n + 1 : n;
}

void SinCos(int angle, double* s, double* c)
{
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
            const int x = RoundEven(c * u + s * v + halfW + kNudge);
            const int y = RoundEven(halfH - (c * v - s * u) + kNudge);
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
        const int x = RoundEven(W / 2.0 + j - dh / 2.0 + 0.5 + kNudge);
        for (int i = 0; i < dw; ++i) {
            const int y = RoundEven(H / 2.0 + i - dw / 2.0 + 0.5 + kNudge);
            if (source.Get(x, y)) out.Set(i, row);
        }
    }
    return out;
}

}  // namespace context
}  // namespace gui
}  // namespace quor
