// The chunk reader with any bytes: the first input byte chooses a bank (even)
// or a program (odd) chunk, the rest is the chunk, handed over in memory of
// exactly its size. A refused chunk must leave the state as it was; a taken
// one must be what the plug-in then hands back; names must stay terminated
// within the host's 24 bytes; audio must still pass through unchanged.

#include <cstring>
#include <memory>
#include <vector>

#include "FuzzHost.h"

using namespace fuzzhost;

namespace {

std::vector<uint8_t> Chunk(bool preset)
{
    void* data = nullptr;
    const VstIntPtr size = Dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (size <= 0 || !data) Broken("effGetChunk gave no chunk");
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

void Processes()
{
    const int frames = 64;
    std::unique_ptr<float[]> in0(new float[frames]), in1(new float[frames]), out0(new float[frames]),
        out1(new float[frames]);
    for (int i = 0; i < frames; ++i) {
        in0[i] = 0.001f * static_cast<float>(i);
        in1[i] = -0.5f + 0.01f * static_cast<float>(i);
    }
    float* inputs[2] = {in0.get(), in1.get()};
    float* outputs[2] = {out0.get(), out1.get()};
    AEffect* e = Plugin();
    e->processReplacing(e, inputs, outputs, frames);
    if (memcmp(in0.get(), out0.get(), sizeof(float) * frames) || memcmp(in1.get(), out1.get(), sizeof(float) * frames))
        Broken("audio did not pass through unchanged");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1) return 0;
    const bool preset = data[0] & 1;
    const size_t n = size - 1;
    std::unique_ptr<uint8_t[]> chunk(new uint8_t[n ? n : 1]);
    memcpy(chunk.get(), data + 1, n);
    const std::vector<uint8_t> before = Chunk(preset);
    const VstIntPtr reply = Dispatch(effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(n), n ? chunk.get() : nullptr);
    const std::vector<uint8_t> after = Chunk(preset);
    if (reply == 0 && after != before) Broken("a refused chunk changed the state");
    if (reply != 0 && (n < after.size() || memcmp(after.data(), chunk.get(), after.size()) != 0))
        Broken("a taken chunk is not what the plug-in hands back");
    for (VstInt32 opcode : {effGetProgramName, effGetProgramNameIndexed}) {
        std::unique_ptr<char[]> name(new char[kVstMaxProgNameLen]);
        memset(name.get(), 0x55, kVstMaxProgNameLen);
        Dispatch(opcode, 0, 0, name.get());
        if (!memchr(name.get(), 0, kVstMaxProgNameLen)) Broken("a program name not terminated within 24 bytes");
    }
    Processes();
    TakeReturned();
    return 0;
}
