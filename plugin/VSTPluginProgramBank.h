#pragma once
// Reading program and bank chunks into the program array.

#include "plugin/VSTPluginProgram.h"
#include "plugin/VstInterface.h"

class VSTPluginProgramBank {
public:
    // 1 when taken, 0 when refused (too short, no data or no such program).
    // A block longer than the record is taken from a newer version: its first
    // 56 bytes are used and the user is told.
    static VstInt32 readProgram(VSTPluginProgram* programs, const void* data, VstInt32 byteSize, VstInt32 index);
    static VstInt32 readBank(VSTPluginProgram* programs, const void* data, VstInt32 byteSize);

    static constexpr VstInt32 NumPrograms = 1;

private:
    static VstInt32 Read(VSTPluginProgram& program, const void* data, VstInt32 byteSize, const char* what);
};
