#include "quor/system/SOperatingSystemData.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quor {
namespace system {

double SOperatingSystemData::LeadingNumber(const char* text)
{
    // strtod would follow LC_NUMERIC: a host running with a comma decimal
    // separator would read "2.6.32" as 2 and refuse a supported kernel.
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    double value = 0.0;
    while (*p >= '0' && *p <= '9') value = value * 10.0 + (*p++ - '0');
    if (*p == '.') {
        double scale = 0.1;
        for (++p; *p >= '0' && *p <= '9'; ++p, scale *= 0.1) value += (*p - '0') * scale;
    }
    return negative ? -value : value;
}

bool SOperatingSystemData::QueryFeatures()
{
    acceptable = true;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    char text[4096];
    ssize_t got;
    do {
        got = read(fd, text, sizeof text);
    } while (got < 0 && errno == EINTR);
    close(fd);
    if (got >= 1 && got <= 4095) {
        text[got] = 0;
        if (LeadingNumber(text) < static_cast<double>(2.4f)) acceptable = false;
    }
    return true;
}

}  // namespace system
}  // namespace quor
