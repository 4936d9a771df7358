#pragma once
// A line of text on a filled rectangle: STextObject draws in whatever font
// the surface has, STextObjectX in a font of its own (not owned).

#include "quor/data/datastring.h"
#include "quor/gui/SDrawObject.h"

namespace quor {
namespace gui {
namespace context {
class SDrawFont;
}

class STextObject : public SDrawObject {
public:
    typedef quor::data::datastring<32, char> String;

    STextObject() = default;
    STextObject(const Rectangle& rect, uint32_t background, uint32_t foreground, const char* text,
                uint32_t textColour, int alignment);

    // The rectangle, then the text aligned in it (moved by the text offset).
    void Draw(context::SDrawing* d) override;

    String text;
    Point textOffset;
    uint32_t textColour = 0;
    int alignment = 0;

protected:
    void DrawText(context::SDrawing* d);
};

class STextObjectX : public STextObject {
public:
    STextObjectX() = default;
    STextObjectX(const Rectangle& rect, uint32_t background, uint32_t foreground, const char* text,
                 uint32_t textColour, int alignment, context::SDrawFont* font);

    void Draw(context::SDrawing* d) override;

    context::SDrawFont* font = nullptr;
};

}  // namespace gui
}  // namespace quor
