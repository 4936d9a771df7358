#!/usr/bin/env python3
"""Generates the embedded XPM artwork of the editor.

Regenerate (from the repository root):
    python3 tools/mkimages/mkimages.py plugin/ui/images
It also writes text_logo.png (1:1) and text_logo_x4.png there for the
documentation. Add a second directory for enlarged previews of both images:
    python3 tools/mkimages/mkimages.py plugin/ui/images /tmp/previews

Everything is computed here (glyph strokes, shading, colour reduction), with
the standard library only, so the output is the same on every machine.

  text_logo         80 x 25, 109 colours: "Blinkwatcher" in stroked letters,
                    orange to red, with a soft dark shadow, on the panel grey.
  cursor_arrow_AND  24 x 24, 2 colours: the AND mask of the arrow cursor
                    (white keeps the screen, black is the cursor).
  cursor_arrow_XOR  24 x 24, 116 colours: the arrow, a shaded orange body in a
                    dark outline; black where the mask keeps the screen.
"""

import math
import os
import struct
import sys
import zlib

PANEL = (77, 81, 84)

# --------------------------------------------------------------------------
# Geometry: every glyph is a list of polylines (stroke centre lines) in a
# frame where x grows to the right, y grows downward, the baseline is y = 0,
# the x-height is y = -XH and the ascender line is y = -AH.

XH = 9.0
AH = 14.0


def arc(cx, cy, rx, ry, a0, a1, steps=None):
    """Points of an elliptic arc; angles in degrees, 0 = right, 90 = up."""
    if steps is None:
        steps = max(6, int(abs(a1 - a0) / 12))
    pts = []
    for k in range(steps + 1):
        a = math.radians(a0 + (a1 - a0) * k / steps)
        pts.append((cx + rx * math.cos(a), cy - ry * math.sin(a)))
    return pts


def glyph_B():
    w = 5.0
    rt, rb = 3.2, 3.8
    top = [(0, -AH), (w - 0.5 - rt, -AH)] + arc(w - 0.5 - rt, -AH + rt, rt, rt, 90, -90) + [(0, -AH + 2 * rt)]
    bot = [(0, -AH + 2 * rt), (w - rb, -AH + 2 * rt)] + arc(w - rb, -rb, rb, rb, 90, -90) + [(0, 0)]
    return [[(0, -AH), (0, 0)], top, bot], w


def glyph_l():
    return [[(0, -AH), (0, 0)]], 0.0


def glyph_i():
    return [[(0, -XH), (0, 0)], [(0, -AH + 1.2), (0, -AH + 1.3)]], 0.0


def glyph_n(stem_top=-XH):
    w = 4.4
    r = w / 2
    return [[(0, stem_top), (0, 0)], [(0, -XH + r + 0.6)] + arc(r, -XH + r, r, r, 180, 0) + [(w, 0)]], w


def glyph_h():
    return glyph_n(-AH)


def glyph_k():
    w = 4.3
    return [[(0, -AH), (0, 0)], [(w, -XH), (0.3, -XH * 0.35)], [(1.9, -XH * 0.52), (w, 0)]], w


def glyph_w():
    w = 7.4
    return [[(0, -XH), (w * 0.25, 0), (w * 0.5, -XH * 0.72), (w * 0.75, 0), (w, -XH)]], w


def glyph_a():
    w = 4.4
    r = w / 2
    bowl = arc(r, -XH / 2, r, XH / 2, 90, 450, 36)
    return [bowl, [(w, -XH), (w, 0)]], w


def glyph_t():
    w = 3.0
    return [[(1.0, -AH + 2.6), (1.0, -1.8)] + arc(2.8, -1.8, 1.8, 1.8, 180, 270) + [(w, 0)],
            [(-0.2, -XH), (w, -XH)]], w


def glyph_c():
    w = 4.2
    return [arc(w / 2, -XH / 2, w / 2, XH / 2, 50, 310)], w


def glyph_e():
    w = 4.4
    return [[(0.2, -XH / 2 + 0.3), (w, -XH / 2 + 0.3)] + arc(w / 2, -XH / 2, w / 2, XH / 2, 0, 310)], w


def glyph_r():
    w = 3.2
    return [[(0, -XH), (0, 0)], [(0, -XH + 3.4)] + arc(w, -XH + 3.4, w, 3.4, 180, 95)], w


GLYPHS = {
    "B": glyph_B, "l": glyph_l, "i": glyph_i, "n": glyph_n, "k": glyph_k,
    "w": glyph_w, "a": glyph_a, "t": glyph_t, "c": glyph_c, "h": glyph_h,
    "e": glyph_e, "r": glyph_r,
}


def layout(text, x0, baseline, gap, slant):
    """Segments of the whole text in image coordinates, and its right edge."""
    segs = []
    x = x0
    for ch in text:
        lines, w = GLYPHS[ch]()
        for line in lines:
            pts = [(x + px - slant * py, baseline + py) for px, py in line]
            for p, q in zip(pts, pts[1:]):
                segs.append((p, q))
        x += w + gap
    return segs, x - gap


def seg_dist(px, py, seg):
    (ax, ay), (bx, by) = seg
    dx, dy = bx - ax, by - ay
    ll = dx * dx + dy * dy
    t = 0.0 if ll == 0 else max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / ll))
    ex, ey = ax + t * dx - px, ay + t * dy - py
    return math.sqrt(ex * ex + ey * ey)


def coverage(width, height, segs, radius, dx=0.0, dy=0.0, ss=4):
    """Anti-aliased coverage of round-capped strokes, ss x ss samples a pixel."""
    pad = radius + 1.5
    boxes = [(min(a[0], b[0]) - pad, max(a[0], b[0]) + pad, min(a[1], b[1]) - pad, max(a[1], b[1]) + pad)
             for a, b in segs]
    cov = [[0.0] * width for _ in range(height)]
    for y in range(height):
        for x in range(width):
            near = [s for s, bb in zip(segs, boxes)
                    if bb[0] <= x + 0.5 - dx <= bb[1] and bb[2] <= y + 0.5 - dy <= bb[3]]
            if not near:
                continue
            acc = 0.0
            for sy in range(ss):
                for sx in range(ss):
                    px = x + (sx + 0.5) / ss - dx
                    py = y + (sy + 0.5) / ss - dy
                    d = min(seg_dist(px, py, s) for s in near)
                    acc += max(0.0, min(1.0, (radius - d) * ss + 0.5))
            cov[y][x] = min(1.0, acc / (ss * ss))
    return cov


def blend(a, b, t):
    return tuple(a[k] + (b[k] - a[k]) * t for k in range(3))


def gradient(stops, t):
    t = max(0.0, min(1.0, t))
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return blend(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0.0)
    return stops[-1][1]


# --------------------------------------------------------------------------
# Colour reduction: k-means in RGB with fixed colours that never move, seeded
# deterministically, empty clusters re-seeded from the worst-fitting pixel.

def reduce_colours(pixels, count, fixed):
    distinct = sorted(set(pixels))
    if len(distinct) < count:
        raise SystemExit("only %d distinct colours, %d wanted" % (len(distinct), count))
    weights = {}
    for p in pixels:
        weights[p] = weights.get(p, 0) + 1
    pts = distinct
    centres = [tuple(map(float, f)) for f in fixed]
    # Farthest-point seeding.
    while len(centres) < count:
        best, bestd = None, -1.0
        for p in pts:
            d = min(sum((p[k] - c[k]) ** 2 for k in range(3)) for c in centres)
            if d > bestd:
                best, bestd = p, d
        centres.append(tuple(map(float, best)))
    nfixed = len(fixed)
    for _ in range(25):
        groups = [[] for _ in centres]
        for p in pts:
            i = min(range(len(centres)), key=lambda j: sum((p[k] - centres[j][k]) ** 2 for k in range(3)))
            groups[i].append(p)
        moved = False
        for i in range(nfixed, len(centres)):
            g = groups[i]
            if not g:
                continue
            wsum = sum(weights[p] for p in g)
            c = tuple(sum(p[k] * weights[p] for p in g) / wsum for k in range(3))
            if c != centres[i]:
                moved = True
            centres[i] = c
        if not moved:
            break
    palette = [tuple(int(round(v)) for v in c) for c in centres]
    # Every entry distinct and used: nudge duplicates, then map each pixel.
    seen = set()
    for i, c in enumerate(palette):
        while c in seen:
            c = (min(255, c[0] + 1), c[1], c[2])
        seen.add(c)
        palette[i] = c
    lookup = {}
    for p in pts:
        lookup[p] = min(range(len(palette)), key=lambda j: sum((p[k] - palette[j][k]) ** 2 for k in range(3)))
    used = set(lookup.values())
    # A palette entry no pixel maps to takes over the distinct colour that
    # fits its own entry worst, so the table holds only colours in use.
    for i in range(len(palette)):
        if i in used:
            continue
        donor = max(pts, key=lambda p: (sum((p[k] - palette[lookup[p]][k]) ** 2 for k in range(3))
                                        if sum(1 for q in pts if lookup[q] == lookup[p]) > 1 else -1))
        palette[i] = donor
        lookup[donor] = i
        used = set(lookup.values())
    return palette, [lookup[p] for p in pixels]


# --------------------------------------------------------------------------
# Output.

def codes(count, cpp):
    alphabet = " .+@#$%&*=-;>,')!~{]^/(_:<[}|1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
    if cpp == 1:
        return list(alphabet[:count])
    out = []
    for a in alphabet:
        for b in alphabet:
            out.append(a + b)
            if len(out) == count:
                return out
    raise SystemExit("too many colours")


def xpm_lines(width, height, palette, indices, cpp, names=None):
    code = codes(len(palette), cpp)
    lines = ["%d %d %d %d" % (width, height, len(palette), cpp)]
    for i, c in enumerate(palette):
        lines.append("%s c #%02X%02X%02X" % (code[i], c[0], c[1], c[2]))
    for y in range(height):
        lines.append("".join(code[indices[y * width + x]] for x in range(width)))
    return lines


def c_array(name, lines):
    body = ",\n".join('    "%s"' % l.replace("\\", "\\\\").replace('"', '\\"') for l in lines)
    return ("static const char* const %s_lines[] = {\n%s};\n\nextern const char* const* const %s = %s_lines;\n"
            % (name, body, name, name))


def write_png(path, width, height, rgb, scale=1):
    raw = bytearray()
    for y in range(height * scale):
        raw.append(0)
        for x in range(width * scale):
            raw.extend(rgb[(y // scale) * width + x // scale])

    def chunk(tag, data):
        return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data) & 0xffffffff)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width * scale, height * scale, 8, 2, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(bytes(raw), 9)))
        f.write(chunk(b"IEND", b""))


HEADER = "// Generated by tools/mkimages/mkimages.py; edit the generator, not this file.\n"


# --------------------------------------------------------------------------
# The logo.

def make_logo():
    W, H = 80, 25
    radius = 0.8
    slant = 0.12
    gap = 0.95 + 2 * radius
    segs, right = layout("Blinkwatcher", 0.0, 0.0, gap, slant)
    xs = [p[0] for s in segs for p in s]
    left = min(xs) - radius
    right = max(xs) + radius
    x0 = (W - (right - left)) / 2 - left - 0.3
    baseline = 18.6
    segs = [((a[0] + x0, a[1] + baseline), (b[0] + x0, b[1] + baseline)) for a, b in segs]
    ink = coverage(W, H, segs, radius)
    shadow = coverage(W, H, segs, radius + 0.35, dx=0.9, dy=1.1)
    top, bottom = baseline - AH - radius, baseline + radius
    stops = [(0.0, (255, 214, 92)), (0.38, (255, 150, 24)), (0.72, (236, 74, 16)), (1.0, (178, 22, 18))]
    out = []
    for y in range(H):
        for x in range(W):
            c = PANEL
            c = blend(c, (28, 18, 16), shadow[y][x] * 0.78)
            t = (y + 0.5 - top) / (bottom - top)
            # A little warmer toward the right end of the word.
            t += 0.10 * (x / W - 0.5)
            c = blend(c, gradient(stops, t), ink[y][x])
            out.append(tuple(int(round(v)) for v in c))
    palette, indices = reduce_colours(out, 109, [PANEL])
    return W, H, palette, indices


# --------------------------------------------------------------------------
# The arrow cursor: '#' outline, 'o' body, '.' transparent.

ARROW = [
    "#", "##", "#o#", "#oo#", "#ooo#", "#oooo#", "#ooooo#", "#oooooo#", "#ooooooo#",
    "#oooooooo#", "#ooooooooo#", "#oooooooooo#", "#ooooooooooo#", "#oooooooooooo#",
    "#ooooooo#######", "#ooo#ooo#", "#oo#.#ooo#", "#o#..#ooo#", "##....#ooo#",
    "#.....#ooo#", ".......#ooo#", ".......#oo##", "........###",
]


def make_cursor():
    W = H = 24
    grid = [[(ARROW[y][x] if y < len(ARROW) and x < len(ARROW[y]) else ".") for x in range(W)] for y in range(H)]
    and_idx, xor_rgb = [], []
    for y in range(H):
        for x in range(W):
            k = grid[y][x]
            and_idx.append(0 if k == "." else 1)
            if k == ".":
                xor_rgb.append((0, 0, 0))
            elif k == "#":
                # The outline darkens from a deep brown at the tip to black.
                t = min(1.0, (x + y) / 34.0)
                xor_rgb.append(tuple(int(round(v)) for v in blend((74, 34, 6), (6, 2, 0), t)))
            else:
                # Light from the upper left: bright near the tip and the left
                # edge, deeper orange toward the tail.
                t = (y + 0.55 * x) / 24.0
                c = gradient([(0.0, (255, 226, 150)), (0.35, (255, 160, 40)), (0.75, (246, 110, 8)),
                              (1.0, (214, 72, 0))], t)
                edge = 1.0 - min(1.0, x / 3.0)
                c = blend(c, (255, 236, 190), 0.35 * edge)
                xor_rgb.append(tuple(int(round(v)) for v in c))
    palette, indices = reduce_colours(xor_rgb, 116, [(0, 0, 0)])
    mask_palette = [(255, 255, 255), (0, 0, 0)]
    return W, H, mask_palette, and_idx, palette, indices


def main():
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    outdir = sys.argv[1]
    preview = sys.argv[2] if len(sys.argv) > 2 else None
    os.makedirs(outdir, exist_ok=True)

    W, H, palette, indices = make_logo()
    logo = xpm_lines(W, H, palette, indices, 2)
    with open(os.path.join(outdir, "text_logo.cpp"), "w") as f:
        f.write(HEADER + '#include "plugin/ui/images/images.h"\n\nnamespace quor {\nnamespace images {\n\n')
        f.write(c_array("text_logo", logo))
        f.write("\n}  // namespace images\n}  // namespace quor\n")

    CW, CH, mpal, midx, cpal, cidx = make_cursor()
    with open(os.path.join(outdir, "cursor_arrow.cpp"), "w") as f:
        f.write(HEADER + '#include "plugin/ui/images/images.h"\n\nnamespace quor {\nnamespace images {\n\n')
        f.write(c_array("cursor_arrow_AND", xpm_lines(CW, CH, mpal, midx, 1)))
        f.write("\n")
        f.write(c_array("cursor_arrow_XOR", xpm_lines(CW, CH, cpal, cidx, 2)))
        f.write("\n}  // namespace images\n}  // namespace quor\n")

    with open(os.path.join(outdir, "images.h"), "w") as f:
        f.write("#pragma once\n" + HEADER + """// The editor's embedded XPM images, each a pointer to the first line of its
// array (header, colours, pixel rows). SDrawBitmap takes them as they are;
// calling libXpm directly needs a cast to char**, through which it only reads.

namespace quor {
namespace images {

// 80 x 25, 109 colours: the product name in orange and red on the panel grey.
extern const char* const* const text_logo;
// 24 x 24, 2 colours: AND mask of the arrow cursor (white keeps the screen).
extern const char* const* const cursor_arrow_AND;
// 24 x 24, 116 colours: colour image of the arrow cursor.
extern const char* const* const cursor_arrow_XOR;

}  // namespace images
}  // namespace quor
""")

    # The logo as pictures for the documentation, next to its source.
    rgb = [palette[i] for i in indices]
    write_png(os.path.join(outdir, "text_logo.png"), W, H, rgb)
    write_png(os.path.join(outdir, "text_logo_x4.png"), W, H, rgb, 4)

    if preview:
        os.makedirs(preview, exist_ok=True)
        write_png(os.path.join(preview, "text_logo_x8.png"), W, H, rgb, 8)
        crgb = [cpal[i] if midx[k] else (0, 255, 0) for k, i in enumerate(cidx)]
        write_png(os.path.join(preview, "cursor_arrow_x8.png"), CW, CH, crgb, 8)


if __name__ == "__main__":
    main()
