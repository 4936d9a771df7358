#include "quor/gui/context/SDrawing.h"

#include <X11/Xmu/Drawing.h>

#include <vector>

#include "plugin/SStaticData.h"
#include "quor/gui/SCOL.h"
#include "quor/gui/SControl.h"
#include "quor/gui/context/SDrawBitmap.h"
#include "quor/gui/context/SDrawBrush.h"
#include "quor/gui/context/SDrawFont.h"
#include "quor/gui/context/SDrawImage.h"
#include "quor/gui/context/SDrawPen.h"

namespace quor {
namespace gui {
namespace context {

namespace {

// The X window of a control; 0 (a device without context) when it has none.
int WindowOf(quor::gui::SControl* control)
{
    return control ? static_cast<int>(control->GetWindow()) : 0;
}

int XFunction(int code)
{
    switch (code) {
    case 0: return GXclear;
    case 1: return GXxor;
    case 2: return GXinvert;
    case 3: return GXorReverse;
    case 4: return GXandReverse;
    case 5: return GXand;
    case 6: return GXor;
    case 7: return GXandInverted;
    case 8: return GXnoop;
    case 9: return GXnor;
    case 10: return GXequiv;
    case 11: return GXcopyInverted;
    case 12: return GXorInverted;
    case 13: return GXnand;
    case 14: return GXset;
    default: return GXcopy;
    }
}

// Narrowed to X's 16-bit points, as the protocol carries them.
std::vector<XPoint> ToXPoints(const SDrawing::Point* points, int count)
{
    std::vector<XPoint> out(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        out[static_cast<size_t>(i)].x = static_cast<short>(points[i].x);
        out[static_cast<size_t>(i)].y = static_cast<short>(points[i].y);
    }
    return out;
}

}  // namespace

SDrawing::SDrawing() = default;

SDrawing::SDrawing(quor::gui::SControl* control_, SGlobals* globals_) : control(control_), globals(globals_)
{
    device = ownDevice = new SDrawDevice(WindowOf(control_));
    SetDefaultColours();
}

void SDrawing::SetDefaultColours()
{
    const SPixel black = SCOL(0, 0, 0);
    const SPixel white = SCOL(255, 255, 255);
    background = parentBackground = backgroundAlternate = backgroundNormal = black;
    frameColour1 = frameColour3 = black;
    foreground = foregroundAlternate = foregroundNormal = white;
    textColour = textColourAlternate = white;
    frameColour2 = SCOL(138, 145, 150);
}

// Only the own device is freed: a memory device swapped in belongs to the
// control, which frees it itself.
SDrawing::~SDrawing()
{
    for (SDrawDeviceSwap* swap = swaps; swap; swap = swap->outer) swap->surface = nullptr;
    swaps = nullptr;
    delete ownDevice;
    ownDevice = nullptr;
    device = nullptr;
}

SDrawDevice* SDrawing::GetDevice()
{
    return device;
}

void SDrawing::SetDevice(SDrawDevice* device_)
{
    device = device_;
}

void SDrawing::SetOwnedDevice(SDrawDevice* device_)
{
    if (device_ == ownDevice) return;
    if (device == ownDevice) device = device_;
    delete ownDevice;
    ownDevice = device_;
}

void SDrawing::InitDrawing(quor::gui::SControl* control_, SDrawing*)
{
    SetOwnedDevice(new SDrawDevice(WindowOf(control_)));
    control = control_;
}

void SDrawing::CleanDrawing()
{
    SetOwnedDevice(nullptr);
}

SDrawDeviceSwap::SDrawDeviceSwap(SDrawing& surface_, SDrawDevice* device)
    : surface(&surface_), previous(surface_.GetDevice()), previousOwned(previous == surface_.OwnedDevice()),
      outer(surface_.swaps)
{
    surface_.swaps = this;
    surface_.SetDevice(device);
}

SDrawDeviceSwap::~SDrawDeviceSwap()
{
    if (!surface) return;
    for (SDrawDeviceSwap** link = &surface->swaps; *link; link = &(*link)->outer)
        if (*link == this) {
            *link = outer;
            break;
        }
    surface->SetDevice(previousOwned ? surface->OwnedDevice() : previous);
}

// ---- colours

void SDrawing::SetColours(SPixel bg, SPixel bgAlternate, SPixel parentBg, SPixel fg, SPixel fgAlternate, SPixel text,
                          SPixel textAlternate)
{
    background = backgroundNormal = bg;
    backgroundAlternate = bgAlternate;
    parentBackground = parentBg;
    foreground = foregroundNormal = fg;
    foregroundAlternate = fgAlternate;
    textColour = text;
    textColourAlternate = textAlternate;
    frameColour1 = frameColour3 = bg;
    frameColour2 = SCOL(138, 145, 150);
}

void SDrawing::SetBackgroundColour(bool alternate)
{
    background = alternate ? backgroundAlternate : backgroundNormal;
}

void SDrawing::SetBackgroundColour(SPixel pixel)
{
    background = pixel;
}

void SDrawing::SetBackground(SPixel pixel, bool alternate)
{
    if (alternate)
        backgroundAlternate = pixel;
    else
        backgroundNormal = pixel;
    SetBackgroundColour(alternate);
}

void SDrawing::SetBackgroundMode(bool) {}

SPixel SDrawing::GetBackgroundColour()
{
    return background;
}

SPixel SDrawing::GetParentBackgroundColour()
{
    return parentBackground;
}

void SDrawing::SetForegroundColour(bool alternate)
{
    foreground = alternate ? foregroundAlternate : foregroundNormal;
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc)) XSetForeground(d, gc, foreground);
}

SPixel SDrawing::GetForegroundColour()
{
    return foreground;
}

SPixel SDrawing::GetFrameColour(bool first, bool second)
{
    if (!first) return frameColour2;
    return second ? frameColour3 : frameColour1;
}

void SDrawing::SetFrameColour(SPixel colour1, SPixel colour3, SPixel colour2)
{
    frameColour1 = colour1;
    frameColour3 = colour3;
    frameColour2 = colour2;
}

// ---- pens, brushes, fonts, logic, fill

void SDrawing::SetPen(SDrawPen* pen)
{
    if (!pen) return;
    Display* d;
    Drawable t;
    GC gc;
    if (!Target(d, t, gc)) return;
    XSetLineAttributes(d, gc, static_cast<unsigned>(pen->width < 0 ? 0 : pen->width),
                       pen->dashed ? LineOnOffDash : LineSolid, CapNotLast, JoinRound);
    XSetForeground(d, gc, pen->colour);
}

void SDrawing::SetBrush(SDrawBrush* brush_)
{
    brush = brush_;
    if (!brush) return;
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc))
        XSetForeground(d, gc, brush->EffectiveColour());
}

void SDrawing::SetFont(SDrawFont* font_)
{
    font = font_;
    if (!font) return;
    Display* d;
    Drawable t;
    GC gc;
    // A font that never loaded has id 0; setting font 0 is a protocol error,
    // so the context keeps its font and text with this font draws nothing.
    if (font->Id() && Target(d, t, gc)) XSetFont(d, gc, font->Id());
}

void SDrawing::SetFillMode(int rule)
{
    previousFillMode = fillMode;
    fillMode = rule;
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc) && (rule == EvenOddRule || rule == WindingRule)) XSetFillRule(d, gc, rule);
}

int SDrawing::GetFillMode()
{
    return fillMode;
}

void SDrawing::SetFillStyle(int style)
{
    fillStyle = style;
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc) && style >= FillSolid && style <= FillOpaqueStippled) XSetFillStyle(d, gc, style);
}

int SDrawing::GetFillStyle()
{
    return fillStyle;
}

void SDrawing::SetLogic(int code)
{
    logic = code;
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc)) XSetFunction(d, gc, XFunction(code));
}

void SDrawing::SetArcMode(int mode)
{
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc)) XSetArcMode(d, gc, mode);
}

void SDrawing::DrawBackground(const Rectangle& r, bool parent)
{
    const SPixel colour = parent ? GetParentBackgroundColour() : GetBackgroundColour();
    if (!globals) return;
    SetPen(statdata.FindPen(colour));
    SetBrush(statdata.FindBrush(colour));
    FillRect(r);
}

// ---- shapes

void SDrawing::DrawPoint(int x, int y)
{
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc)) XDrawPoint(d, t, gc, x, y);
}

void SDrawing::DrawPoint(const Point& p)
{
    DrawPoint(p.x, p.y);
}

void SDrawing::DrawLine(int x1, int y1, int x2, int y2)
{
    Display* d;
    Drawable t;
    GC gc;
    if (Target(d, t, gc)) XDrawLine(d, t, gc, x1, y1, x2, y2);
}

void SDrawing::DrawLine(const Point& p1, const Point& p2)
{
    DrawLine(p1.x, p1.y, p2.x, p2.y);
}

// The outline covers columns x1 .. x2 - 1 and rows y1 .. y2 - 1. An inverted
// rectangle draws nothing: its negative size would reach the server as a
// rectangle of up to 65535 pixels.
void SDrawing::DrawRect(int x1, int y1, int x2, int y2)
{
    int w = x2 - x1 - 1;
    int h = y2 - y1 - 1;
    Display* d;
    Drawable t;
    GC gc;
    if (w < 0 || h < 0 || !Target(d, t, gc)) return;
    XDrawRectangle(d, t, gc, x1, y1, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void SDrawing::DrawRect(const Point& p1, const Point& p2)
{
    DrawRect(p1.x, p1.y, p2.x, p2.y);
}

void SDrawing::DrawRect(const Rectangle& r)
{
    DrawRect(r.TopLeft(), r.BottomRight());
}

void SDrawing::DrawRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh)
{
    int w = x2 - x1 - 1;
    int h = y2 - y1 - 1;
    Display* d;
    Drawable t;
    GC gc;
    if (w < 0 || h < 0 || ew < 0 || eh < 0 || !Target(d, t, gc)) return;
    XmuDrawRoundedRectangle(d, t, gc, x1, y1, w, h, ew, eh);
}

void SDrawing::DrawRoundedRect(const Point& p1, const Point& p2, int ew, int eh)
{
    DrawRoundedRect(p1.x, p1.y, p2.x, p2.y, ew, eh);
}

void SDrawing::DrawRoundedRect(const Rectangle& r, int ew, int eh)
{
    DrawRoundedRect(r.TopLeft(), r.BottomRight(), ew, eh);
}

void SDrawing::DrawEllipse(int x1, int y1, int x2, int y2)
{
    SetArcMode(ArcPieSlice);
    Arc(false, x1, y1, x2, y2, 0, 360);
}

void SDrawing::DrawChord(int x1, int y1, int x2, int y2, int angle, int extent)
{
    SetArcMode(ArcChord);
    Arc(false, x1, y1, x2, y2, angle, extent);
}

void SDrawing::DrawPie(int x1, int y1, int x2, int y2, int angle, int extent)
{
    SetArcMode(ArcPieSlice);
    Arc(false, x1, y1, x2, y2, angle, extent);
}

void SDrawing::DrawArc(int, int, int, int, int, int) {}

void SDrawing::DrawBezier(const Point*, int) {}

void SDrawing::DrawPoly(const Point* points, int count)
{
    Display* d;
    Drawable t;
    GC gc;
    if (!points || count <= 1 || !Target(d, t, gc)) return;
    std::vector<XPoint> xpoints = ToXPoints(points, count);
    XDrawLines(d, t, gc, xpoints.data(), count, CoordModeOrigin);
}

void SDrawing::FillRect(int x1, int y1, int x2, int y2)
{
    int w = x2 - x1;
    int h = y2 - y1;
    Display* d;
    Drawable t;
    GC gc;
    if (w <= 0 || h <= 0 || !Target(d, t, gc)) return;
    XFillRectangle(d, t, gc, x1, y1, static_cast<unsigned>(w), static_cast<unsigned>(h));
}

void SDrawing::FillRect(const Point& p1, const Point& p2)
{
    FillRect(p1.x, p1.y, p2.x, p2.y);
}

void SDrawing::FillRect(const Rectangle& r)
{
    FillRect(r.TopLeft(), r.BottomRight());
}

void SDrawing::FillRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh)
{
    int w = x2 - x1;
    int h = y2 - y1;
    Display* d;
    Drawable t;
    GC gc;
    if (w <= 0 || h <= 0 || ew < 0 || eh < 0 || !Target(d, t, gc)) return;
    XmuFillRoundedRectangle(d, t, gc, x1, y1, w, h, ew, eh);
}

void SDrawing::FillRoundedRect(const Point& p1, const Point& p2, int ew, int eh)
{
    FillRoundedRect(p1.x, p1.y, p2.x, p2.y, ew, eh);
}

void SDrawing::FillRoundedRect(const Rectangle& r, int ew, int eh)
{
    FillRoundedRect(r.TopLeft(), r.BottomRight(), ew, eh);
}

void SDrawing::FillEllipse(int x1, int y1, int x2, int y2)
{
    SetArcMode(ArcPieSlice);
    Arc(true, x1, y1, x2, y2, 0, 360);
}

void SDrawing::FillChord(int x1, int y1, int x2, int y2, int angle, int extent)
{
    SetArcMode(ArcChord);
    Arc(true, x1, y1, x2, y2, angle, extent);
}

void SDrawing::FillPie(int x1, int y1, int x2, int y2, int angle, int extent)
{
    SetArcMode(ArcPieSlice);
    Arc(true, x1, y1, x2, y2, angle, extent);
}

void SDrawing::FillPoly(const Point* points, int count)
{
    Display* d;
    Drawable t;
    GC gc;
    if (!points || count <= 1 || !Target(d, t, gc)) return;
    std::vector<XPoint> xpoints = ToXPoints(points, count);
    XFillPolygon(d, t, gc, xpoints.data(), count, Nonconvex, CoordModeOrigin);
}

void SDrawing::PathStart() {}
void SDrawing::PathStroke() {}
void SDrawing::PathFill() {}
void SDrawing::PathStrokeFill() {}
void SDrawing::PathEnd() {}

// Arcs in the box (x1, y1)-(x2, y2), angles in degrees; X counts in 64ths.
void SDrawing::Arc(bool fill, int x1, int y1, int x2, int y2, int angle, int extent)
{
    int w = x2 - x1;
    int h = y2 - y1;
    Display* d;
    Drawable t;
    GC gc;
    if (w < 0 || h < 0 || !Target(d, t, gc)) return;
    if (fill)
        XFillArc(d, t, gc, x1, y1, static_cast<unsigned>(w), static_cast<unsigned>(h), angle * 64, extent * 64);
    else
        XDrawArc(d, t, gc, x1, y1, static_cast<unsigned>(w), static_cast<unsigned>(h), angle * 64, extent * 64);
}

// ---- bitmaps, memory devices, images

void SDrawing::DrawBitmap(SDrawBitmap*, int, int, int, int, bool, SDrawBitmapMask*) {}

void SDrawing::DrawBitmap(SDrawBitmap* bitmap, const Rectangle& r, bool flag, SDrawBitmapMask* mask)
{
    DrawBitmap(bitmap, r.left, r.top, r.right, r.bottom, flag, mask);
}

// Copies with the source's graphics context. A source without drawable or
// context (a bitmap whose XPM failed) copies nothing: a request on drawable 0
// raises an X error. Nor does a source on another connection than the
// target: its context cannot be used there, and its pixmap's drawing may
// still wait in that connection's buffer.
void SDrawing::DrawMemory(SDrawDevice* source, int x, int y, int sx1, int sy1, int sx2, int sy2)
{
    if (!source) return;
    int w = sx2 - sx1;
    int h = sy2 - sy1;
    Display* d;
    Drawable t;
    GC gc;
    if (w <= 0 || h <= 0 || !Target(d, t, gc)) return;
    Drawable from = source->GetDrawable();
    GC copyGc = source->Get();
    if (!from || !copyGc || source->Owner() != d) return;
    XCopyArea(d, from, t, copyGc, sx1, sy1, static_cast<unsigned>(w), static_cast<unsigned>(h), x, y);
}

void SDrawing::DrawMemory(SDrawDevice* source, int x, int y, int sx1, int sy1, int sx2, int sy2, unsigned char)
{
    DrawMemory(source, x, y, sx1, sy1, sx2, sy2);
}

void SDrawing::DrawMemory(SDrawDevice* source, int x, int y, int sx1, int sy1, int sx2, int sy2, int,
                          SDrawBitmapMask*)
{
    DrawMemory(source, x, y, sx1, sy1, sx2, sy2);
}

void SDrawing::DrawMemory(SDrawDevice* source, const Point& p, const Rectangle& area)
{
    DrawMemory(source, p.x, p.y, area.left, area.top, area.right, area.bottom);
}

void SDrawing::DrawMemory(SDrawDevice* source, const Point& p, const Rectangle& area, unsigned char extra)
{
    DrawMemory(source, p.x, p.y, area.left, area.top, area.right, area.bottom, extra);
}

void SDrawing::DrawMemory(SDrawDevice* source, const Point& p, const Rectangle& area, int extra,
                          SDrawBitmapMask* mask)
{
    DrawMemory(source, p.x, p.y, area.left, area.top, area.right, area.bottom, extra, mask);
}

void SDrawing::DrawImage(SDrawImage* image, const Rectangle& source, const Rectangle& target)
{
    Display* d;
    Drawable t;
    GC gc;
    if (!image || !image->GetImage() || source.Width() <= 0 || source.Height() <= 0 || !Target(d, t, gc)) return;
    // Xlib clips the source area to the image.
    XPutImage(d, t, gc, image->GetImage(), source.left, source.top, target.left, target.top,
              static_cast<unsigned>(source.Width()), static_cast<unsigned>(source.Height()));
}

}  // namespace context
}  // namespace gui
}  // namespace quor
