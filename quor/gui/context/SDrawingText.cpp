// Text operations of the drawing surface: plain and aligned text, labels on a
// filled rectangle, text turned by any angle, vertical labels and the
// seven-segment pixel digits.
//
// Measuring and the rotated renders keep everything in locals: a message box
// can be laid out on a host thread while the GUI thread draws.

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>

#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawing.h"
#include "quor/gui/context/SRotatedBits.h"

namespace quor {
namespace gui {
namespace context {

namespace {

bool HasText(const char* text)
{
    return text && *text;
}

// Renders the text in one bit per pixel into a w x h picture, the top of the
// text at row 0 and its left at column 0, and reads it back from the server.
SRotatedBits RenderBits(Display* display, Drawable near, SDrawFont* font, const char* text, int w, int h)
{
    SRotatedBits bits(w, h);
    Pixmap pixmap = XCreatePixmap(display, near, static_cast<unsigned>(w), static_cast<unsigned>(h), 1);
    XGCValues values;
    memset(&values, 0, sizeof values);
    values.background = 0;
    values.foreground = 0;
    values.font = font->Id();
    GC gc = XCreateGC(display, pixmap, GCBackground | GCForeground | GCFont, &values);
    XFillRectangle(display, pixmap, gc, 0, 0, static_cast<unsigned>(w + 1), static_cast<unsigned>(h + 1));
    XSetForeground(display, gc, 1);
    XDrawString(display, pixmap, gc, 0, font->Ascent(), text, static_cast<int>(strlen(text)));
    XImage* image = XGetImage(display, pixmap, 0, 0, static_cast<unsigned>(w), static_cast<unsigned>(h), 1,
                              XYPixmap);
    if (image) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (XGetPixel(image, x, y) & 1) bits.Set(x, y);
        XDestroyImage(image);
    }
    XFreeGC(display, gc);
    XFreePixmap(display, pixmap);
    return bits;
}

// Paints the set pixels of bits with a copy of the device's function, plane
// mask and colours, through a stipple, at the aligned place in r. The bits are
// only read; the reference is non-const because XImage takes a char*.
void PaintBits(Display* display, Drawable target, GC copied, SRotatedBits& bits,
               const SDrawing::Rectangle& r, int align)
{
    const int width = bits.Width();
    const int height = bits.Height();
    int x, y;
    if (align & 1)
        x = r.left;
    else if (align & 4)
        x = r.right - width;
    else
        x = r.left + (((r.right - r.left) - width) >> 1);
    if (align & 2)
        y = r.top;
    else if (align & 8)
        y = r.bottom - height;
    else
        y = r.top + (((r.bottom - r.top) - height) >> 1);

    // The picture goes up as an XY bitmap in the same byte and bit order it
    // was built in; Xlib converts for the server.
    XImage* image = XCreateImage(display, DefaultVisual(display, DefaultScreen(display)), 1, XYBitmap, 0,
                                 reinterpret_cast<char*>(bits.Data()), static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 8, bits.Stride());
    if (!image) return;
    image->byte_order = MSBFirst;
    image->bitmap_bit_order = MSBFirst;
    Pixmap stipple = XCreatePixmap(display, target, static_cast<unsigned>(width), static_cast<unsigned>(height), 1);
    XGCValues values;
    memset(&values, 0, sizeof values);
    values.foreground = 1;
    values.background = 0;
    GC bitGc = XCreateGC(display, stipple, GCForeground | GCBackground, &values);
    XPutImage(display, stipple, bitGc, image, 0, 0, 0, 0, static_cast<unsigned>(width),
              static_cast<unsigned>(height));
    XFreeGC(display, bitGc);
    image->data = nullptr;  // owned by `bits`
    XDestroyImage(image);

    XSetStipple(display, copied, stipple);
    XSetFillStyle(display, copied, FillStippled);
    XSetTSOrigin(display, copied, x, y);
    XFillRectangle(display, target, copied, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFreePixmap(display, stipple);
}

GC CopyDeviceGC(Display* display, Drawable target, GC device)
{
    GC copied = XCreateGC(display, target, 0, nullptr);
    XCopyGC(display, device, GCFunction | GCPlaneMask | GCForeground | GCBackground, copied);
    return copied;
}

}  // namespace

void SDrawing::GetTextDimensions(const char* text, int* width, int* height, SDrawFont* font)
{
    int w = 0, h = 0;
    if (HasText(text) && font) {
        w = font->TextWidth(text);
        h = font->Ascent() + font->Descent();
    }
    if (width) *width = w;
    if (height) *height = h;
}

void SDrawing::SetTextColour(SPixel pixel, bool alternate)
{
    if (alternate)
        textColourAlternate = pixel;
    else
        textColour = pixel;
    Display* display;
    Drawable target;
    GC gc;
    if (Target(display, target, gc)) XSetForeground(display, gc, pixel);
}

void SDrawing::DrawText(const char* text, int x, int y)
{
    if (!font || !HasText(text) || !font->Info()) return;
    Display* display;
    Drawable target;
    GC gc;
    if (!Target(display, target, gc)) return;
    // The text was measured with this font; a device switched in after
    // SetFont would otherwise draw it in its own default font.
    XSetFont(display, gc, font->Id());
    XDrawString(display, target, gc, x, y + font->Ascent(), text, static_cast<int>(strlen(text)));
}

void SDrawing::DrawText(const char* text, const Point& p)
{
    DrawText(text, p.x, p.y);
}

void SDrawing::DrawText(const String& text, int x, int y)
{
    DrawText(text.Text(), x, y);
}

void SDrawing::DrawText(const String& text, const Point& p)
{
    DrawText(text.Text(), p);
}

void SDrawing::DrawLabel(const char* text, Rectangle r, int align, const Point& offset)
{
    if (!font || !HasText(text)) return;
    r.Offset(offset.x, offset.y);
    if (!font->Info()) return;
    const int ascent = font->Ascent();
    int baseline;
    if (align & 2)
        baseline = r.top + ascent;
    else if (align & 8)
        baseline = r.bottom - font->Descent();
    else
        baseline = r.top + (ascent >> 1) + ((r.bottom - r.top) >> 1) - 1;
    const int width = font->TextWidth(text);
    int x;
    if (align & 1)
        x = r.left;
    else if (align & 4)
        x = r.right - width;
    else
        x = r.left + ((r.right - r.left) >> 1) - (width >> 1);
    Display* display;
    Drawable target;
    GC gc;
    if (!Target(display, target, gc)) return;
    XSetFont(display, gc, font->Id());
    XDrawString(display, target, gc, x, baseline, text, static_cast<int>(strlen(text)));
}

void SDrawing::DrawLabel(const String& text, Rectangle r, int align, const Point& offset)
{
    DrawLabel(text.Text(), r, align, offset);
}

void SDrawing::DrawLabelRect(const char* text, const Rectangle& r, SPixel pixel, const Point& offset)
{
    if (!font || !HasText(text)) return;
    Display* display;
    Drawable target;
    GC gc;
    if (Target(display, target, gc)) XSetForeground(display, gc, pixel);
    FillRect(r);
    DrawLabel(text, r, 0, offset);
}

void SDrawing::DrawLabelRect(const String& text, const Rectangle& r, SPixel pixel, const Point& offset)
{
    DrawLabelRect(text.Text(), r, pixel, offset);
}

void SDrawing::DrawRotatedText(const char* text, Rectangle r, int angle, int align, const Point& offset)
{
    if (!font || !HasText(text)) return;
    while (angle > 359) angle -= 360;
    while (angle < -359) angle += 360;
    if (angle == 0) {
        DrawLabel(text, r, align, offset);
        return;
    }
    // A font the server did not have has no id to render with.
    if (!font->Info()) return;
    Display* display;
    Drawable target;
    GC gc;
    if (!Target(display, target, gc)) return;

    r.left -= 1;
    r.top -= 1;
    r.right += 1;
    r.bottom += 1;
    const int W = font->TextWidth(text) + 2;
    const int H = font->Ascent() + font->Descent() + 2;
    GC copied = CopyDeviceGC(display, target, gc);
    const SRotatedBits source = RenderBits(display, target, font, text, W, H);
    SRotatedBits turned = SRotatedBits::Rotate(source, angle);
    XSetForeground(display, gc, textColour);
    r.Offset(offset.x, offset.y);
    PaintBits(display, target, copied, turned, r, align);
    XFreeGC(display, copied);
}

void SDrawing::DrawRotatedText(const String& text, Rectangle r, int angle, int align, const Point& offset)
{
    DrawRotatedText(text.Text(), r, angle, align, offset);
}

void SDrawing::DrawVerticalLabel(const char* text, Rectangle r, int, int align, const Point& offset, bool, bool,
                                 const char*)
{
    if (!font || !HasText(text) || !font->Info()) return;
    const int W = font->TextWidth(text);
    const int H = font->Ascent() + font->Descent();
    if (W <= 0 || H <= 0) return;
    Display* display;
    Drawable target;
    GC gc;
    if (!Target(display, target, gc)) return;
    GC copied = CopyDeviceGC(display, target, gc);
    const SRotatedBits source = RenderBits(display, target, font, text, W, H);
    SRotatedBits turned = SRotatedBits::TurnUpright(source);
    r.Offset(offset.x, offset.y);
    PaintBits(display, target, copied, turned, r, align);
    XFreeGC(display, copied);
}

void SDrawing::DrawVerticalLabel(const String& text, Rectangle r, int unused, int align, const Point& offset,
                                 bool flag1, bool flag2, const char* extra)
{
    DrawVerticalLabel(text.Text(), r, unused, align, offset, flag1, flag2, extra);
}

void SDrawing::DrawPixelNumber(int x, int y, int digit)
{
    if (digit < 0 || digit > 9) return;
    // Each line exactly as listed, ends and direction included: under a
    // non-copy logic function a pixel drawn twice, or an end that the cap
    // leaves out, changes the picture.
    enum { L = 1, R = 5, T = 3, M = 6, B = 9 };
    struct Line {
        signed char x1, y1, x2, y2;
    };
    struct Digit {
        int count;
        Line lines[5];
    };
    static const Digit digits[10] = {
        {4, {{L, T, R, T}, {L, T, L, B}, {R, T, R, B}, {L, B, R, B}}},
        {2, {{2, T, 3, T}, {3, T, 3, B}}},
        {5, {{L, T, R, T}, {R, T, R, M}, {R, M, L, M}, {L, M, L, B}, {L, B, R, B}}},
        {4, {{L, T, R, T}, {R, T, R, B}, {L, M, R, M}, {L, B, R, B}}},
        {3, {{L, T, L, M}, {L, M, R, M}, {R, T, R, B}}},
        {5, {{L, T, R, T}, {L, T, L, M}, {L, M, R, M}, {R, M, R, B}, {L, B, R, B}}},
        {5, {{L, T, R, T}, {L, T, L, B}, {L, M, R, M}, {R, M, R, B}, {L, B, R, B}}},
        {2, {{L, T, R, T}, {R, T, R, B}}},
        {5, {{L, T, R, T}, {L, T, L, B}, {L, M, R, M}, {R, T, R, B}, {L, B, R, B}}},
        {5, {{L, T, R, T}, {L, T, L, M}, {L, M, R, M}, {R, T, R, B}, {L, B, R, B}}},
    };
    const Digit& d = digits[digit];
    for (int i = 0; i < d.count; ++i) {
        const Line& l = d.lines[i];
        DrawLine(x + l.x1, y + l.y1, x + l.x2, y + l.y2);
    }
}

void SDrawing::DrawPixelNumber(const Point& p, int digit)
{
    DrawPixelNumber(p.x, p.y, digit);
}

void SDrawing::DrawVerticalPixelNumber(int, int, int) {}

void SDrawing::DrawVerticalPixelNumber(const Point& p, int digit)
{
    DrawVerticalPixelNumber(p.x, p.y, digit);
}

void SDrawing::DrawPixelLabel(int, int, const char*) {}

void SDrawing::DrawVerticalPixelLabel(int, int, const char*) {}

}  // namespace context
}  // namespace gui
}  // namespace quor
