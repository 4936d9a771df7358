#include "plugin/SStaticData.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "quor/gui/context/SDisplayHandles.h"
#include "quor/system/SSystemData.h"

// Load time, in one constructor so that the order is fixed: the display first,
// then the system data (whose monitor layout needs the display), then the
// shared GUI state.
SStaticData::SStaticData()
{
    XInitThreads();
    const char* name = getenv("DISPLAY");
    dps = XOpenDisplay(name ? name : ":0.0");
    if (!dps)
        fputs("Error: XOpenDisplay failed.\n", stderr);
    else
        XFlush(dps);
    sd.getOSInfos();
    sd.getCPUInfos();
    sd.getDisplayInfos();
}

SStaticData::~SStaticData()
{
    if (dps) {
        XCloseDisplay(dps);
        dps = nullptr;
    }
}

SStaticData statdata;
