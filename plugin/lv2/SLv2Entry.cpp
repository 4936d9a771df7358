// The DSP shared object's one exported symbol: the descriptor through which
// LV2 hosts find and drive the plug-in.

#include <lv2/core/lv2.h>

#include "plugin/lv2/SLv2Plugin.h"
#include "plugin/lv2/SLv2Ports.h"

namespace {

LV2_Handle Instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features)
{
    return SLv2Plugin::Create(rate, reinterpret_cast<const void* const*>(features));
}

void ConnectPort(LV2_Handle h, uint32_t port, void* data) { static_cast<SLv2Plugin*>(h)->Connect(port, data); }
void Activate(LV2_Handle h) { static_cast<SLv2Plugin*>(h)->Activate(); }
void Run(LV2_Handle h, uint32_t frames) { static_cast<SLv2Plugin*>(h)->Run(frames); }
void Deactivate(LV2_Handle) {}
void Cleanup(LV2_Handle h) { delete static_cast<SLv2Plugin*>(h); }
const void* ExtensionData(const char*) { return nullptr; }

const LV2_Descriptor descriptor = {lv2ports::PluginUri, Instantiate, ConnectPort, Activate,
                                   Run, Deactivate, Cleanup, ExtensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
