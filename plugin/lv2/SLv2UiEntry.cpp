// The UI shared object's one exported symbol: the descriptor of the X11 UI.

#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <cstdint>
#include <cstring>

#include "plugin/lv2/SLv2Ports.h"
#include "plugin/lv2/SLv2UiBridge.h"

namespace {

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features)
{
    if (!pluginUri || strcmp(pluginUri, lv2ports::PluginUri) != 0 || !widget) return nullptr;
    unsigned long parent = 0;
    LV2UI_Resize* resize = nullptr;
    for (const LV2_Feature* const* f = features; f && *f; ++f) {
        if (strcmp((*f)->URI, LV2_UI__parent) == 0)
            parent = static_cast<unsigned long>(reinterpret_cast<uintptr_t>((*f)->data));
        else if (strcmp((*f)->URI, LV2_UI__resize) == 0)
            resize = static_cast<LV2UI_Resize*>((*f)->data);
    }
    SLv2UiBridge* ui = SLv2UiBridge::Create(parent, reinterpret_cast<SLv2UiBridge::WriteFunction>(write), controller,
                                            resize ? resize->ui_resize : nullptr, resize ? resize->handle : nullptr);
    if (!ui) return nullptr;
    *widget = reinterpret_cast<LV2UI_Widget>(static_cast<uintptr_t>(ui->Widget()));
    return ui;
}

void Cleanup(LV2UI_Handle ui) { delete static_cast<SLv2UiBridge*>(ui); }

void PortEvent(LV2UI_Handle ui, uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    static_cast<SLv2UiBridge*>(ui)->PortEvent(port, size, format, buffer);
}

int Idle(LV2UI_Handle ui) { return static_cast<SLv2UiBridge*>(ui)->Idle(); }

const LV2UI_Idle_Interface idleInterface = {Idle};

const void* ExtensionData(const char* uri)
{
    return uri && strcmp(uri, LV2_UI__idleInterface) == 0 ? &idleInterface : nullptr;
}

const LV2UI_Descriptor descriptor = {lv2ports::UiUri, Instantiate, Cleanup, PortEvent, ExtensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
