#include "FuzzHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "plugin/SPluginEntry.h"
#include "quor/system/SSystemData.h"

namespace fuzzhost {

namespace {

std::vector<VstMidiEvent> returned;

VstIntPtr Callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterProcessEvents: {
        const VstEvents* list = static_cast<const VstEvents*>(ptr);
        if (!list || list->numEvents < 0) Broken("the plug-in sent a malformed event list");
        VstEvent* const* events = list->events;
        for (VstInt32 i = 0; i < list->numEvents; ++i) {
            if (!events[i]) Broken("the plug-in sent a null event");
            VstMidiEvent e;
            memcpy(&e, events[i], sizeof e);
            returned.push_back(e);
        }
        return 1;
    }
    default:
        return 0;
    }
}

}  // namespace

AEffect* Plugin()
{
    static AEffect* effect = [] {
        AEffect* e = PluginEntry(Callback, sd);
        if (!e) Broken("the plug-in did not load");
        returned.reserve(4096);
        e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        e->dispatcher(e, effSetBlockSize, 0, 4096, nullptr, 0.0f);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        return e;
    }();
    return effect;
}

VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    AEffect* e = Plugin();
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

std::vector<VstMidiEvent> TakeReturned()
{
    std::vector<VstMidiEvent> taken;
    taken.swap(returned);
    returned.reserve(4096);
    return taken;
}

void Broken(const char* what)
{
    fprintf(stderr, "fuzz: %s\n", what);
    abort();
}

}  // namespace fuzzhost
