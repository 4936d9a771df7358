#pragma once
// A window showing a text of one or more lines in a font, aligned inside its
// rectangle, optionally on a rounded filled background; clicks are reported
// as EVENT_CONTROL with the mouse button (1 left, 2 middle, 3 right).
//
// Colours given to labels are indices of the shared colour table.

#include <vector>

#include "quor/data/datastring.h"
#include "quor/gui/SWindow.h"

namespace quor {
namespace gui {
namespace context {
class SDrawFont;
}

// Alignment bits, as the text functions take them.
enum : int { ALIGN_LEFT = 0x1, ALIGN_TOP = 0x2, ALIGN_RIGHT = 0x4, ALIGN_BOTTOM = 0x8 };

template <bool Unused>
class SLabel : public SWindow {
public:
    SLabel(SGlobals* globals, SControl* parent, unsigned id, const char* name, int style, int x, int y, int w, int h,
           int parentWindow, bool flag);
    ~SLabel() override;

    const String* GetLabel() override { return &text; }
    void SetAlignment(int a) override { align = a; }
    void SetLabelOffset(Point& p) override { offset = p; }
    void SetSize(int w, int h) override;
    void Highlight(bool on, int colour, int, int) override;
    void MouseStateChanged(bool* state, int code) override;
    void Draw(const Rectangle& r) override;
    void DrawOutlines(const Rectangle& r) override;

    virtual void SetLabelColours(int enabled, int disabled);
    virtual int GetLabelColour();
    virtual void SetLabel(const char* text);
    virtual void SetLabel(const String& text) { SetLabel(text.Text()); }
    virtual void SetLabel(const char* text, context::SDrawFont* font, int align);
    virtual void SetLabel(const String& text, context::SDrawFont* font, int align)
    {
        SetLabel(text.Text(), font, align);
    }
    virtual void RedrawLabel();
    virtual void SetLabelOffset(const Point& p) { offset = p; }
    virtual void SetLabelRounding(int r) { rounding = r; }
    virtual void DrawLabel();

    context::SDrawFont* GetFont() const { return font; }
    const std::vector<String>& Lines() const { return lines; }
    const std::vector<Rectangle>& LineRects() const { return lineRects; }
    int TextWidth() const { return textWidth; }
    int TextHeight() const { return textHeight; }
    void SetVertical(bool v) { vertical = v; }

protected:
    // Places the measured block and cuts it into one band per line.
    void PlaceLines();
    // The outline in `pixel`, rounded or square as the style says.
    void Outline(const Rectangle& r, uint32_t pixel);
    void DrawLines(const Rectangle* whole, const char* only);

    context::SDrawFont* font = nullptr;
    String text;
    std::vector<String> lines;
    std::vector<Rectangle> lineRects;
    int textWidth = 1;
    int textHeight = 1;
    int labelColour = 0;
    int labelColourDisabled = 0;
    Point offset;
    int align = 0;
    bool vertical = false;
    int rounding = 7;
    bool highlighted = false;
    int highlightColour = 0;
};

extern template class SLabel<false>;

}  // namespace gui
}  // namespace quor
