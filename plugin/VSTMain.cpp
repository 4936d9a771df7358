// The exported entry point. Hosts look for VSTPluginMain first and for the
// historical name main second; both are the same function. C++ reserves the
// name main for the program's own entry, so the second name is given to the
// linker directly.

#include "plugin/SPluginEntry.h"
#include "quor/system/SSystemData.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    return PluginEntry(audioMaster, sd);
}

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMainLegacy(audioMasterCallback audioMaster)
    __asm__("main") __attribute__((alias("VSTPluginMain")));
