#include "plugin/VSTPluginProgramBank.h"

#include <cstring>

#include "plugin/SPlugin.h"
#include "quor/data/datastring.h"
#include "quor/gui/SInfo.h"

VstInt32 VSTPluginProgramBank::readProgram(VSTPluginProgram* programs, const void* data, VstInt32 byteSize,
                                           VstInt32 index)
{
    if (index < 0 || index >= NumPrograms) return 0;
    return Read(programs[index], data, byteSize, "Failed to load program");
}

VstInt32 VSTPluginProgramBank::readBank(VSTPluginProgram* programs, const void* data, VstInt32 byteSize)
{
    return Read(programs[0], data, byteSize, "Failed to load bank");
}

VstInt32 VSTPluginProgramBank::Read(VSTPluginProgram& program, const void* data, VstInt32 byteSize, const char* what)
{
    if (!data || byteSize < VSTPluginProgram::ChunkSize) return 0;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    int32_t threshold, kinds;
    memcpy(&threshold, bytes + offsetof(VSTPluginProgram, threshold), sizeof threshold);
    memcpy(&kinds, bytes + offsetof(VSTPluginProgram, kinds), sizeof kinds);
    // The host may hand back the address getChunk gave.
    memmove(program.name, bytes, sizeof program.name);
    program.threshold.store(threshold, std::memory_order_relaxed);
    program.kinds.store(kinds, std::memory_order_relaxed);
    if (byteSize > VSTPluginProgram::ChunkSize) {
        quor::data::datastring<32, char> message(what);
        message.Append("\n(Reason: ");
        message.Append("Saved with newer version");
        message.Append("\nThis version = ");
        message.Append(16, "%.2f", SPlugin::Version * 0.01);
        message.Append("\nSome settings will be lost !)");
        quor::gui::SInfo(message.Text(), SPlugin::ProductName);
    }
    return 1;
}
