#pragma once
// A one-bit picture in the X bitmap layout the rotated text is built in: rows
// of (width + 7) / 8 bytes, most significant bit first, so pixel x of row y is
// bit 128 >> (x % 8) of byte x / 8. The turns map every destination pixel back
// to the source, so the result has no holes at any angle.

#include <vector>

namespace quor {
namespace gui {
namespace context {

class SRotatedBits {
public:
    SRotatedBits() = default;
    SRotatedBits(int width, int height);

    int Width() const { return width; }
    int Height() const { return height; }
    int Stride() const { return stride; }
    bool Empty() const { return width <= 0 || height <= 0; }
    // False outside the picture.
    bool Get(int x, int y) const;
    void Set(int x, int y, bool on = true);
    unsigned char* Data() { return bits.data(); }
    const unsigned char* Data() const { return bits.data(); }
    int Count() const;

    // Turned counter-clockwise (as seen on the screen) by angle degrees, which
    // must already be in -359..359; both sides of the result are odd.
    static SRotatedBits Rotate(const SRotatedBits& source, int angle);
    // The size Rotate gives for a w x h source.
    static void RotatedSize(int w, int h, int angle, int* width, int* height);
    // Turned by 90 degrees counter-clockwise without margin: odd sides, the
    // source's width becoming the height.
    static SRotatedBits TurnUpright(const SRotatedBits& source);

private:
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<unsigned char> bits;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
