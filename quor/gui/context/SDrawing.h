#pragma once
// The drawing surface of a control: colours, pen, brush, font, logic and fill
// settings, and the shape, text, bitmap and image operations on the current
// device. Every X call goes to the connection the device was made on (its
// graphics context and pixmap live there: naming them on another connection
// is a protocol error), and none is made without one.

#include <X11/Xlib.h>

#include "quor/data/datastring.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawDevice.h"
#include "quor/gui/context/SPixel.h"
#include "quor/math/geom/Point.h"
#include "quor/math/geom/Rectangle.h"
#include "quor/threading/SMutexID.h"

class SGlobals;

namespace quor {
namespace gui {
class SControl;
namespace context {

class SDrawPen;
class SDrawBrush;
class SDrawFont;
class SDrawBitmap;
class SDrawBitmapMask;
class SDrawImage;
class SDrawDeviceSwap;

// Devices: the surface owns one device, its window device (made by the
// constructor with a control and by InitDrawing, or handed over with
// SetOwnedDevice), and frees it exactly once. It may draw on another device
// for a while (a memory device, for flicker-free painting): SetDevice, or
// better an SDrawDeviceSwap, only borrows that one and never frees it.
class SDrawing {
public:
    typedef quor::math::geom::Point<int, 2> Point;
    typedef quor::math::geom::Rectangle<int, 2> Rectangle;
    typedef quor::data::datastring<32, char> String;

    SDrawing();
    SDrawing(quor::gui::SControl* control, SGlobals* globals);
    SDrawing(const SDrawing&) = delete;
    SDrawing& operator=(const SDrawing&) = delete;

    // Virtual operations, in slot order.
    virtual ~SDrawing();
    // The device drawn on now: the own device or a borrowed one.
    virtual SDrawDevice* GetDevice();
    // Draws on `device` from now on without taking it over (null: nowhere).
    virtual void SetDevice(SDrawDevice* device);
    // Frees the own device and makes a new window device on the control's
    // window the own one; it becomes current unless a borrowed device is.
    virtual void InitDrawing(quor::gui::SControl* control, SDrawing* other);
    // Frees the own device; the surface then has none (a borrowed device
    // being drawn on stays current).
    virtual void CleanDrawing();
    virtual void SetColours(SPixel bg, SPixel bgAlternate, SPixel parentBg, SPixel fg, SPixel fgAlternate, SPixel text,
                            SPixel textAlternate);
    virtual void SetBackgroundColour(bool alternate);
    virtual void SetBackgroundColour(SPixel pixel);
    virtual void SetBackground(SPixel pixel, bool alternate);
    virtual void SetBackgroundMode(bool mode);
    virtual SPixel GetBackgroundColour();
    virtual SPixel GetParentBackgroundColour();
    virtual void SetForegroundColour(bool alternate);
    virtual SPixel GetForegroundColour();
    virtual SPixel GetFrameColour(bool first, bool second);
    virtual void SetFrameColour(SPixel colour1, SPixel colour3, SPixel colour2);
    virtual void SetFillMode(int rule);
    virtual int GetFillMode();
    virtual void SetFillStyle(int style);
    virtual int GetFillStyle();
    virtual void SetLogic(int code);
    virtual void DrawBackground(const Rectangle& r, bool parent);
    virtual void DrawPoint(int x, int y);
    virtual void DrawPoint(const Point& p);
    virtual void DrawLine(int x1, int y1, int x2, int y2);
    virtual void DrawLine(const Point& p1, const Point& p2);
    virtual void DrawRect(int x1, int y1, int x2, int y2);
    virtual void DrawRect(const Point& p1, const Point& p2);
    virtual void DrawRect(const Rectangle& r);
    virtual void DrawRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh);
    virtual void DrawRoundedRect(const Point& p1, const Point& p2, int ew, int eh);
    virtual void DrawRoundedRect(const Rectangle& r, int ew, int eh);
    // DrawText .. DrawVerticalPixelLabel, SetTextColour and GetTextDimensions
    // live in SDrawingText.cpp.
    virtual void DrawText(const char* text, int x, int y);
    virtual void DrawText(const char* text, const Point& p);
    virtual void DrawText(const String& text, int x, int y);
    virtual void DrawText(const String& text, const Point& p);
    virtual void DrawLabel(const char* text, Rectangle r, int align, const Point& offset);
    virtual void DrawLabel(const String& text, Rectangle r, int align, const Point& offset);
    virtual void DrawLabelRect(const char* text, const Rectangle& r, SPixel pixel, const Point& offset);
    virtual void DrawLabelRect(const String& text, const Rectangle& r, SPixel pixel, const Point& offset);
    virtual void DrawRotatedText(const char* text, Rectangle r, int angle, int align, const Point& offset);
    virtual void DrawRotatedText(const String& text, Rectangle r, int angle, int align, const Point& offset);
    virtual void DrawVerticalLabel(const char* text, Rectangle r, int unused, int align, const Point& offset,
                                   bool flag1, bool flag2, const char* extra);
    virtual void DrawVerticalLabel(const String& text, Rectangle r, int unused, int align, const Point& offset,
                                   bool flag1, bool flag2, const char* extra);
    virtual void DrawPixelNumber(int x, int y, int digit);
    virtual void DrawPixelNumber(const Point& p, int digit);
    virtual void DrawVerticalPixelNumber(int x, int y, int digit);
    virtual void DrawVerticalPixelNumber(const Point& p, int digit);
    virtual void DrawPixelLabel(int x, int y, const char* text);
    virtual void DrawVerticalPixelLabel(int x, int y, const char* text);
    virtual void DrawEllipse(int x1, int y1, int x2, int y2);
    virtual void DrawChord(int x1, int y1, int x2, int y2, int angle, int extent);
    virtual void DrawPie(int x1, int y1, int x2, int y2, int angle, int extent);
    virtual void DrawArc(int x1, int y1, int x2, int y2, int angle, int extent);
    virtual void DrawBezier(const Point* points, int count);
    virtual void DrawPoly(const Point* points, int count);
    virtual void FillRect(int x1, int y1, int x2, int y2);
    virtual void FillRect(const Point& p1, const Point& p2);
    virtual void FillRect(const Rectangle& r);
    virtual void FillRoundedRect(int x1, int y1, int x2, int y2, int ew, int eh);
    virtual void FillRoundedRect(const Point& p1, const Point& p2, int ew, int eh);
    virtual void FillRoundedRect(const Rectangle& r, int ew, int eh);
    virtual void FillEllipse(int x1, int y1, int x2, int y2);
    virtual void FillChord(int x1, int y1, int x2, int y2, int angle, int extent);
    virtual void FillPie(int x1, int y1, int x2, int y2, int angle, int extent);
    virtual void FillPoly(const Point* points, int count);
    virtual void PathStart();
    virtual void PathStroke();
    virtual void PathFill();
    virtual void PathStrokeFill();
    virtual void PathEnd();
    virtual void DrawBitmap(SDrawBitmap* bitmap, int x, int y, int width, int height, bool flag,
                            SDrawBitmapMask* mask);
    virtual void DrawBitmap(SDrawBitmap* bitmap, const Rectangle& r, bool flag, SDrawBitmapMask* mask);
    virtual void DrawMemory(SDrawDevice* source, int x, int y, int sx1, int sy1, int sx2, int sy2);
    virtual void DrawMemory(SDrawDevice* source, int x, int y, int sx1, int sy1, int sx2, int sy2,
                            unsigned char extra);
    virtual void DrawMemory(SDrawDevice* source, int x, int y, int sx1, int sy1, int sx2, int sy2, int extra,
                            SDrawBitmapMask* mask);
    virtual void DrawMemory(SDrawDevice* source, const Point& p, const Rectangle& area);
    virtual void DrawMemory(SDrawDevice* source, const Point& p, const Rectangle& area, unsigned char extra);
    virtual void DrawMemory(SDrawDevice* source, const Point& p, const Rectangle& area, int extra,
                            SDrawBitmapMask* mask);
    virtual void DrawImage(SDrawImage* image, const Rectangle& source, const Rectangle& target);

    // Takes `device` over as the own device, freeing the previous own one;
    // it becomes current unless a borrowed device is.
    void SetOwnedDevice(SDrawDevice* device);
    SDrawDevice* OwnedDevice() const { return ownDevice; }

    // Pens, brushes, fonts and text colours.
    void SetPen(SDrawPen* pen);
    void SetBrush(SDrawBrush* brush);
    SDrawBrush* GetBrush() const { return brush; }
    void SetFont(SDrawFont* font);
    SDrawFont* GetFont() const { return font; }
    void SetTextColour(SPixel pixel, bool alternate);
    SPixel GetTextColour(bool alternate) const { return alternate ? textColourAlternate : textColour; }
    int GetLogic() const { return logic; }
    int GetPreviousFillMode() const { return previousFillMode; }
    quor::gui::SControl* GetControl() const { return control; }
    SGlobals* GetGlobals() const { return globals; }

    // Width of the text and the font's ascent + descent; both 0 without a
    // font or with an empty text. Either pointer may be null.
    static void GetTextDimensions(const char* text, int* width, int* height, SDrawFont* font);

private:
    // The device's connection, drawable and graphics context; false (and
    // nothing may be drawn) when any of them is missing or the connection has
    // been let go.
    bool Target(Display*& display, Drawable& target, GC& gc) const
    {
        if (!device) return false;
        display = device->Owner();
        if (!display || !DisplayOpen(display)) return false;
        target = device->GetDrawable();
        gc = device->Get();
        return target != 0 && gc != nullptr;
    }
    void SetDefaultColours();
    void SetArcMode(int mode);
    void Arc(bool fill, int x1, int y1, int x2, int y2, int angle, int extent);

    friend class SDrawDeviceSwap;

    SDrawDevice* device = nullptr;
    SDrawDevice* ownDevice = nullptr;
    // The innermost swap in progress; swaps outlived by the surface are told.
    SDrawDeviceSwap* swaps = nullptr;
    quor::gui::SControl* control = nullptr;
    SGlobals* globals = nullptr;
    SDrawFont* font = nullptr;
    SDrawBrush* brush = nullptr;
    quor::threading::SMutexID lock;
    SPixel background = 0;
    SPixel parentBackground = 0;
    SPixel backgroundAlternate = 0;
    SPixel backgroundNormal = 0;
    SPixel foreground = 0;
    SPixel foregroundAlternate = 0;
    SPixel foregroundNormal = 0;
    SPixel textColour = 0;
    SPixel textColourAlternate = 0;
    SPixel frameColour1 = 0;
    SPixel frameColour2 = 0;
    SPixel frameColour3 = 0;
    int fillMode = 0;
    int previousFillMode = 0;
    int fillStyle = 0;
    int logic = 15;
};

// Draws on another device for one scope: installs `device` on the surface,
// borrowed, and puts the previous device back when the scope ends.
//     {
//         SDrawDeviceSwap swap(*drawing, memoryDevice);
//         ... draw into the bitmap ...
//     }
//     drawing->DrawMemory(memoryDevice, x, y, area);
// Swaps nest (end them in reverse order). If the previous device was the
// surface's own, the own device current at the end goes back (InitDrawing may
// have replaced it); if the surface is destroyed first, the swap ends without
// touching it. The borrowed device must outlive the swap.
class SDrawDeviceSwap {
public:
    SDrawDeviceSwap(SDrawing& surface, SDrawDevice* device);
    ~SDrawDeviceSwap();
    SDrawDeviceSwap(const SDrawDeviceSwap&) = delete;
    SDrawDeviceSwap& operator=(const SDrawDeviceSwap&) = delete;

    // Null once the surface has been destroyed.
    SDrawing* Surface() const { return surface; }

private:
    friend class SDrawing;

    SDrawing* surface;
    SDrawDevice* previous;
    bool previousOwned;
    SDrawDeviceSwap* outer;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
