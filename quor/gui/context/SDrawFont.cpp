#include "quor/gui/context/SDrawFont.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "quor/gui/context/SDisplayHandles.h"

namespace quor {
namespace gui {
namespace context {

namespace {
const char* const kEnding = "-*-*-*-*-*-iso8859-1";
const char* const kLastResort = "-adobe-helvetica-bold-r-normal--34-*-*-*-*-*-iso8859-1";
}  // namespace

quor::data::datastring<32, char> SDrawFont::FirstName(int size, bool bold, bool italic, const char* family)
{
    const int p = PixelSize(size);
    quor::data::datastring<32, char> out;
    if (family) {
        out.Append("-").Append(family).Append("-");
        out.Append(bold ? "bold-" : "medium-").Append(italic ? "i-" : "r-");
        out.Append("normal--").Append(16, "%d", p).Append(kEnding);
    } else if (p < 8) {
        out.Append("-misc-fixed-medium-r-*--").Append(16, "%d", p).Append(kEnding);
    } else if (p <= 12) {
        out.Append(bold ? "-adobe-helvetica-bold" : "-adobe-helvetica-medium");
        out.Append(italic ? "-o-*--" : "-r-*--").Append(16, "%d", p).Append(kEnding);
    } else {
        out = SearchName(p + 4, bold);
    }
    return out;
}

quor::data::datastring<32, char> SDrawFont::SearchName(int pixels, bool bold)
{
    quor::data::datastring<32, char> out;
    out.Append("-adobe-helvetica-").Append(bold ? "bold" : "medium");
    out.Append("-r-normal--").Append(16, "%d", pixels).Append(kEnding);
    return out;
}

SDrawFont::SDrawFont(int size_, bool bold_, bool italic_, bool, const char* family)
    : size(size_), bold(bold_), italic(italic_), hasFamily(family != nullptr)
{
    name = FirstName(size, bold, italic, family);
    Display* d = CurrentDisplay();
    if (!d) return;
    tried = true;
    triedOn = d;
    const int p = PixelSize(size);
    if (family || p <= 12) {
        Load(d, name.Text());
        return;
    }
    for (int s = p + 4; s >= 13; --s) {
        name = SearchName(s, bold);
        if (Load(d, name.Text())) return;
    }
    name = kLastResort;
    Load(d, name.Text());
}

// XLoadFont followed by XQueryFont would report a missing font as a BadName
// error to the error handler, which by Xlib's default ends the process; the
// combined request swallows that error and just yields null.
bool SDrawFont::Load(Display* d, const char* xlfd)
{
    XFontStruct* info = XLoadQueryFont(d, xlfd);
    if (!info) return false;
    fontInfo = info;
    fontId = info->fid;
    display = d;
    return true;
}

int SDrawFont::TextWidth(const char* text) const
{
    if (!fontInfo || !text || !*text) return 0;
    int direction = 0, ascent = 0, descent = 0;
    XCharStruct overall;
    memset(&overall, 0, sizeof overall);
    XTextExtents(fontInfo, text, static_cast<int>(strlen(text)), &direction, &ascent, &descent, &overall);
    return overall.width;
}

SDrawFont::Block SDrawFont::TextBlock(const char* text) const
{
    Block b;
    if (!text || !*text) return b;
    const int lineHeight = Ascent() + Descent();
    for (const char* piece = text;;) {
        const char* end = strchr(piece, '\n');
        const size_t length = end ? static_cast<size_t>(end - piece) : strlen(piece);
        if (length > 0) b.width = std::max(b.width, TextWidth(std::string(piece, length).c_str()));
        b.height += lineHeight;
        if (!end) break;
        piece = end + 1;
    }
    return b;
}

void SDrawFont::Release()
{
    if (fontInfo && display && DisplayOpen(display)) XFreeFont(display, fontInfo);
    fontInfo = nullptr;
    fontId = 0;
    display = nullptr;
}

SDrawFont::~SDrawFont()
{
    Release();
}

}  // namespace context
}  // namespace gui
}  // namespace quor
