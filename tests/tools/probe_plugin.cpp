// A minimal VST 2.x plug-in that reports what the host answered while it
// loaded: its effect name is "product|vendor|vendor version|canDo sizeWindow|
// sizeWindow result|directory". Product "refuse" makes it refuse to load with
// a message, "badmagic" makes it return a record that is not a plug-in's.

#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/VstInterface.h"

namespace {

struct Probe {
    AEffect effect;
    std::string report;
};

VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    Probe* probe = static_cast<Probe*>(e->object);
    if (opcode == effGetEffectName && ptr) {
        snprintf(static_cast<char*>(ptr), 256, "%s", probe->report.c_str());
        return 1;
    }
    if (opcode == effClose) {
        delete probe;
        return 1;
    }
    return 0;
}

void Process(AEffect*, float** in, float** out, VstInt32 frames)
{
    for (VstInt32 i = 0; i < frames; ++i) out[0][i] = in[0][i] * 2.0f;
}

AEffect badRecord;

AEffect* Entry(audioMasterCallback host)
{
    if (!host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f)) return nullptr;
    char product[128] = {}, vendor[128] = {};
    host(nullptr, audioMasterGetProductString, 0, 0, product, 0.0f);
    host(nullptr, audioMasterGetVendorString, 0, 0, vendor, 0.0f);
    if (strcmp(product, "refuse") == 0) {
        fputs("probe: refusing to load\n", stderr);
        return nullptr;
    }
    if (strcmp(product, "badmagic") == 0) return &badRecord;
    Probe* probe = new Probe();
    AEffect& e = probe->effect;
    e.magic = kEffectMagic;
    e.dispatcher = Dispatch;
    e.process = Process;
    e.processReplacing = Process;
    e.numInputs = 1;
    e.numOutputs = 1;
    e.flags = effFlagsCanReplacing;
    e.object = probe;
    e.uniqueID = VstFourCC('P', 'r', 'b', 'e');
    const VstIntPtr version = host(&e, audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f);
    const VstIntPtr sizeAnswer = host(&e, audioMasterCanDo, 0, 0, const_cast<char*>("sizeWindow"), 0.0f);
    const VstIntPtr sized = host(&e, audioMasterSizeWindow, 120, 80, nullptr, 0.0f);
    const char* directory = reinterpret_cast<const char*>(host(&e, audioMasterGetDirectory, 0, 0, nullptr, 0.0f));
    probe->report = std::string(product) + "|" + vendor + "|" + std::to_string(version) + "|" +
                    std::to_string(sizeAnswer) + "|" + std::to_string(sized) + "|" + (directory ? directory : "(null)");
    return &e;
}

}  // namespace

#ifdef PROBE_LEGACY_ENTRY
extern "C" __attribute__((visibility("default"))) AEffect* ProbeMain(audioMasterCallback host) __asm__("main");
extern "C" AEffect* ProbeMain(audioMasterCallback host) { return Entry(host); }
#else
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) { return Entry(host); }
#endif
