#pragma once
// The host side of the fuzz targets: one plug-in instance for the whole run,
// made through the real entry point and driven only through its AEffect
// record, and the events it sends back.

#include <cstdint>
#include <vector>

#include "plugin/VstInterface.h"

namespace fuzzhost {

// The instance, resumed at 44100 Hz; made on first use.
AEffect* Plugin();
VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);
// The MIDI events the plug-in sent back since the last call.
std::vector<VstMidiEvent> TakeReturned();

// Ends the run with a crash report that libFuzzer keeps with the input.
[[noreturn]] void Broken(const char* what);

}  // namespace fuzzhost
