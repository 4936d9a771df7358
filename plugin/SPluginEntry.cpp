#include "plugin/SPluginEntry.h"

#include "plugin/VSTPlugin.h"
#include "quor/gui/SInfo.h"
#include "quor/system/SSystemData.h"

using quor::data::datastring;

SPlugin* CreateVSTPlugin(audioMasterCallback audioMaster, int& result)
{
    return new VSTPlugin(audioMaster, result);
}

datastring<32, char> LoadFailureMessage(int result, const SPlugin* plugin)
{
    datastring<32, char> message("Failed to load plugin");
    message.Append("\n(Reason: ");
    if (result == LoadSystemNotSupported) {
        message.Append("System not supported");
        message.Append("\nPlease check the requirements");
        message.Append(")");
    } else if (result == LoadHostNotSupported) {
        message.Append("Host not supported (");
        message.Append(plugin ? plugin->PluginHostName() : "");
        message.Append(")");
        message.Append(")");
    } else {
        message.Append("Internal Error");
        message.Append("\nPlease report to \n");
        message.Append(SPlugin::SupportContact);
        message.Append(")");
    }
    return message;
}

AEffect* PluginEntry(audioMasterCallback audioMaster, const quor::system::SSystemData& system,
                     SPluginFactory create)
{
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    int result = LoadSuccess;
    SPlugin* plugin = nullptr;
    if (system.Qualifies(false, false)) {
        // The host is C: an exception (out of memory while constructing) must
        // not unwind into it. It becomes an internal error the user is told of.
        try {
            plugin = create(audioMaster, result);
        } catch (...) {
            plugin = nullptr;
            result = LoadInternalError;
        }
        if (plugin && result == LoadSuccess) return plugin->getAeffect();
        if (result == LoadSilentRefusal) {
            delete plugin;
            return nullptr;
        }
    } else {
        result = LoadSystemNotSupported;
    }
    quor::gui::SInfo(LoadFailureMessage(result, plugin).Text(), SPlugin::ProductName);
    delete plugin;
    return nullptr;
}
