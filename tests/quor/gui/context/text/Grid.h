#pragma once
// Small one-bit pictures for comparing renders: cropped to their ink and
// turned by quarter turns.

#include <string>
#include <vector>

namespace bwtest {

struct Grid {
    int w = 0, h = 0;
    std::vector<bool> on;
    Grid() = default;
    Grid(int w_, int h_) : w(w_), h(h_), on(static_cast<size_t>(w_ * h_), false) {}
    bool At(int x, int y) const { return on[static_cast<size_t>(y * w + x)]; }
    void Set(int x, int y) { on[static_cast<size_t>(y * w + x)] = true; }
    bool operator==(const Grid& o) const { return w == o.w && h == o.h && on == o.on; }
    int Count() const
    {
        int n = 0;
        for (bool b : on) n += b;
        return n;
    }
    std::string Picture() const
    {
        std::string s = "\n";
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) s += At(x, y) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
    // Counter-clockwise as seen on the screen.
    Grid TurnLeft() const
    {
        Grid g(h, w);
        for (int y = 0; y < g.h; ++y)
            for (int x = 0; x < g.w; ++x)
                if (At(w - 1 - y, x)) g.Set(x, y);
        return g;
    }
    Grid TurnRight() const
    {
        Grid g(h, w);
        for (int y = 0; y < g.h; ++y)
            for (int x = 0; x < g.w; ++x)
                if (At(y, h - 1 - x)) g.Set(x, y);
        return g;
    }
    Grid TurnHalf() const
    {
        Grid g(w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (At(w - 1 - x, h - 1 - y)) g.Set(x, y);
        return g;
    }
    // Smallest picture holding every set pixel.
    template <typename Pred>
    static Grid Crop(int width, int height, Pred on)
    {
        int l = width, t = height, r = -1, b = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (on(x, y)) {
                    if (x < l) l = x;
                    if (x > r) r = x;
                    if (y < t) t = y;
                    if (y > b) b = y;
                }
        if (r < 0) return Grid();
        Grid g(r - l + 1, b - t + 1);
        for (int y = t; y <= b; ++y)
            for (int x = l; x <= r; ++x)
                if (on(x, y)) g.Set(x - l, y - t);
        return g;
    }
};

}  // namespace bwtest
