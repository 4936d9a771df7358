#pragma once
// The drawing surface of a control: colours, pen, brush, font, logic and fill
// settings, and the shape, text, bitmap and image operations on the current
// device. Every X call goes to the device's own connection (CurrentDisplay()
// for devices that have none) and none is made without one.

#include <X11/Xlib.h>

#include "quor/data/datastring.h"
#include "quor/gui/context/SDisplayHandles.h"
#include "quor/gui/context/SDrawDevice.h"
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
    virtual SDrawDevice* GetDevice();
    virtual void SetDevice(SDrawDevice* device);
    virtual void InitDrawing(quor::gui::SControl* control, SDrawing* other);
    virtual void CleanDrawing();
    virtual void SetColours(int bg, int bgAlternate, int parentBg, int fg, int fgAlternate, int text,
                            int textAlternate);
    virtual void SetBackgroundColour(bool alternate);
    virtual void SetBackgroundColour(int pixel);
    virtual void SetBackground(int pixel, bool alternate);
    virtual void SetBackgroundMode(bool mode);
    virtual int GetBackgroundColour();
    virtual int GetParentBackgroundColour();
    virtual void SetForegroundColour(bool alternate);
    virtual int GetForegroundColour();
    virtual int GetFrameColour(bool first, bool second);
    virtual void SetFrameColour(int colour1, int colour3, int colour2);
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
    virtual void DrawLabelRect(const char* text, const Rectangle& r, int pixel, const Point& offset);
    virtual void DrawLabelRect(const String& text, const Rectangle& r, int pixel, const Point& offset);
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

    // Pens, brushes, fonts and text colours.
    void SetPen(SDrawPen* pen);
    void SetBrush(SDrawBrush* brush);
    SDrawBrush* GetBrush() const { return brush; }
    void SetFont(SDrawFont* font);
    SDrawFont* GetFont() const { return font; }
    void SetTextColour(int pixel, bool alternate);
    int GetTextColour(bool alternate) const { return alternate ? textColourAlternate : textColour; }
    int GetLogic() const { return logic; }
    int GetPreviousFillMode() const { return previousFillMode; }
    quor::gui::SControl* GetControl() const { return control; }
    SGlobals* GetGlobals() const { return globals; }

    // Width of the text and the font's ascent + descent; both 0 without a
    // font or with an empty text. Either pointer may be null.
    static void GetTextDimensions(const char* text, int* width, int* height, SDrawFont* font);

private:
    // The current display and the device's drawable and graphics context;
    // false (and nothing may be drawn) when any of them is missing.
    bool Target(Display*& display, Drawable& target, GC& gc) const
    {
        if (!device) return false;
        // A graphics context is only valid on the connection that made it:
        // a window's is used there, whichever display is current now.
        Display* owner = device->Owner();
        if (owner && !DisplayOpen(owner)) return false;
        display = owner ? owner : CurrentDisplay();
        if (!display) return false;
        target = device->GetDrawable();
        gc = device->Get();
        return target != 0 && gc != nullptr;
    }
    void SetDefaultColours();
    void SetArcMode(int mode);
    void Arc(bool fill, int x1, int y1, int x2, int y2, int angle, int extent);

    SDrawDevice* device = nullptr;
    quor::gui::SControl* control = nullptr;
    SGlobals* globals = nullptr;
    SDrawFont* font = nullptr;
    SDrawBrush* brush = nullptr;
    quor::threading::SMutexID lock;
    int background = 0;
    int parentBackground = 0;
    int backgroundAlternate = 0;
    int backgroundNormal = 0;
    int foreground = 0;
    int foregroundAlternate = 0;
    int foregroundNormal = 0;
    int textColour = 0;
    int textColourAlternate = 0;
    int frameColour1 = 0;
    int frameColour2 = 0;
    int frameColour3 = 0;
    int fillMode = 0;
    int previousFillMode = 0;
    int fillStyle = 0;
    int logic = 15;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
