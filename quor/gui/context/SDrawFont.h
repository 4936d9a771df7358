#pragma once
// An X core font chosen by size in points and style, with its metrics.
//
// The font is loaded on the connection current at construction and freed on
// that same connection, and only while that connection is still held: the
// host may close its own display before the shared font list goes away.

#include <X11/Xlib.h>

#include "quor/data/datastring.h"

namespace quor {
namespace gui {
namespace context {

class SDrawFont {
public:
    // The fourth argument is accepted for callers' sake and not used.
    SDrawFont(int size, bool bold, bool italic, bool unused, const char* family);
    virtual ~SDrawFont();
    SDrawFont(const SDrawFont&) = delete;
    SDrawFont& operator=(const SDrawFont&) = delete;

    // P = size + size / 4, the quarter rounded toward minus infinity.
    static int PixelSize(int size) { return size + (size >> 2); }
    // The name tried first for a size in points (for P >= 13 without a
    // family: the first of the descending sizes).
    static quor::data::datastring<32, char> FirstName(int size, bool bold, bool italic, const char* family);
    // The name for pixel size `pixels` of the descending search (P >= 13).
    static quor::data::datastring<32, char> SearchName(int pixels, bool bold);

    int Size() const { return size; }
    bool Bold() const { return bold; }
    bool Italic() const { return italic; }
    const quor::data::datastring<32, char>& Name() const { return name; }
    Font Id() const { return fontId; }
    // Null when the server has no such font (or there was no display).
    XFontStruct* Info() const { return fontInfo; }
    Display* GetDisplay() const { return display; }
    // Made with a family name of the caller's.
    bool HasFamily() const { return hasFamily; }
    // A display was there to load it from (whether or not the server had the
    // font); false for a font made while the process had no display at all.
    bool Tried() const { return tried; }
    // The connection it was tried on, whether or not the server had it.
    Display* TriedOn() const { return triedOn; }
    int Ascent() const { return fontInfo ? fontInfo->ascent : 0; }
    int Descent() const { return fontInfo ? fontInfo->descent : 0; }
    // Extent width of the text; 0 without font info or text. Computed from the
    // metrics held by the client, so it needs no server round trip and no
    // shared scratch storage.
    int TextWidth(const char* text) const;
    // The block of a text of several lines: the widest line, and a line's
    // height for every piece between line feeds, empty pieces included (an
    // empty line is as high as the line before it, or as a "W" when it
    // comes first: in one font, the same). 0 x 0 for an empty text.
    struct Block {
        int width = 0;
        int height = 0;
    };
    Block TextBlock(const char* text) const;

    // Frees the font on its connection now; later text drawing with it does
    // nothing.
    void Release();

private:
    bool Load(Display* d, const char* xlfd);

    int size;
    quor::data::datastring<32, char> name;
    bool bold;
    bool italic;
    bool hasFamily;
    bool tried = false;
    Font fontId = 0;
    XFontStruct* fontInfo = nullptr;
    Display* display = nullptr;
    Display* triedOn = nullptr;
};

}  // namespace context
}  // namespace gui
}  // namespace quor
