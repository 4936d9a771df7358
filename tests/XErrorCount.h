#pragma once
// The X errors on a test's own connection, counted so that the test fails on
// them at its end instead of Xlib's default handler ending the process.

#include <X11/Xlib.h>

namespace bwtest {

inline int& XErrorsCounted()
{
    static int n = 0;
    return n;
}

inline int CountXError(Display*, XErrorEvent*)
{
    ++XErrorsCounted();
    return 0;
}

}  // namespace bwtest
