#include "quor/gui/SInfo.h"

#include <unistd.h>

#include <cerrno>

#include "quor/data/datastring.h"

namespace quor {
namespace gui {

void SInfo(const char* message, const char* title)
{
    data::datastring<32, char> line(title ? title : "");
    line.Append(": ");
    for (const char* p = message ? message : ""; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\n')
            line.Append("\\n");
        else if (c == '\\')
            line.Append("\\\\");
        else if (c < 0x20 || c == 0x7F)
            line.Append(8, "\\x%02X", c);
        else
            line.Append(static_cast<char>(c));
    }
    line.Append('\n');
    // One write, so that lines from several threads never interleave.
    const char* text = line.Text();
    size_t left = line.Size();
    while (left > 0) {
        ssize_t done = write(STDERR_FILENO, text, left);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) break;
        text += done;
        left -= static_cast<size_t>(done);
    }
}

}  // namespace gui
}  // namespace quor
