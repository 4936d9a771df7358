#include "quor/gui/SScaleFactor.h"

#include <X11/Xresource.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace quor {
namespace gui {

namespace {

// A whole number and nothing else (blanks around it allowed); false for
// an empty or unset text.
bool WholeNumber(const char* text, long* value)
{
    if (!text) return false;
    while (*text == ' ' || *text == '\t') ++text;
    if (!*text) return false;
    char* end = nullptr;
    errno = 0;
    const long v = strtol(text, &end, 10);
    if (errno || end == text) return false;
    while (*end == ' ' || *end == '\t') ++end;
    if (*end) return false;
    *value = v;
    return true;
}

// Xft.dpi as Xft itself looks it up; 0 when absent or not a positive number.
double ResourceDpi(const char* resources)
{
    if (!resources || !*resources) return 0.0;
    XrmInitialize();
    XrmDatabase db = XrmGetStringDatabase(resources);
    if (!db) return 0.0;
    double dpi = 0.0;
    char* type = nullptr;
    XrmValue value = {};
    if (XrmGetResource(db, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        char* end = nullptr;
        const double v = strtod(value.addr, &end);
        if (end != value.addr && std::isfinite(v) && v > 0.0) dpi = v;
    }
    XrmDestroyDatabase(db);
    return dpi;
}

}  // namespace

SScaleChoice ScaleFromSettings(const char* own, const char* gdk, const char* resources)
{
    SScaleChoice choice;
    long v = 0;
    if (own && *own) {
        if (WholeNumber(own, &v) && v >= 1 && v <= maxScale) {
            choice.factor = static_cast<int>(v);
            return choice;
        }
        choice.ownRejected = true;
    }
    if (WholeNumber(gdk, &v) && v >= 1) {
        choice.factor = v > maxScale ? maxScale : static_cast<int>(v);
        return choice;
    }
    const double dpi = ResourceDpi(resources);
    if (dpi > 0.0) {
        const long n = std::lround(dpi / 96.0);
        choice.factor = n < 1 ? 1 : n > maxScale ? maxScale : static_cast<int>(n);
    }
    return choice;
}

int ChooseScale(Display* display, bool report)
{
    const char* own = getenv("BLINKWATCHER_SCALE");
    const SScaleChoice choice =
        ScaleFromSettings(own, getenv("GDK_SCALE"), display ? XResourceManagerString(display) : nullptr);
    if (report && choice.ownRejected) {
        static std::mutex lock;
        static std::string told;
        std::lock_guard<std::mutex> hold(lock);
        if (told != own) {
            told = own;
            char line[160];
            const int n = snprintf(line, sizeof line,
                                   "Blinkwatcher: BLINKWATCHER_SCALE=\"%.40s\" ignored: the scale is 1, 2, 3 or 4\n",
                                   own);
            if (n > 0) {
                ssize_t written = write(STDERR_FILENO, line, static_cast<size_t>(n) < sizeof line ? n : sizeof line - 1);
                (void)written;
            }
        }
    }
    return choice.factor;
}

}  // namespace gui
}  // namespace quor
