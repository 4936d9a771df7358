#pragma once
// What the exported entry point does, apart from which system data it reads,
// so that a refused load can be shown without touching the machine.

#include "plugin/VstInterface.h"
#include "quor/data/datastring.h"

class SPlugin;

namespace quor {
namespace system {
class SSystemData;
}
}  // namespace quor

// Load result codes passed into construction.
enum SPluginLoadResult : int {
    LoadSuccess = 0,
    LoadSystemNotSupported = 2,
    LoadHostNotSupported = 3,
    LoadSilentRefusal = 4,
    LoadInternalError = 1,
};

typedef SPlugin* (*SPluginFactory)(audioMasterCallback audioMaster, int& result);

SPlugin* CreateVSTPlugin(audioMasterCallback audioMaster, int& result);

// The host's AEffect record, or null (after telling the user why, except for
// a host that reports no version and for a silent refusal).
AEffect* PluginEntry(audioMasterCallback audioMaster, const quor::system::SSystemData& system,
                     SPluginFactory create = CreateVSTPlugin);

// The text of the load failure message for a result code.
quor::data::datastring<32, char> LoadFailureMessage(int result, const SPlugin* plugin);
