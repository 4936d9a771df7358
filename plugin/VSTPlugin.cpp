#include "plugin/VSTPlugin.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "plugin/SPluginEditor.h"
#include "plugin/VSTPluginProgramBank.h"

namespace {

constexpr float KindThreshold = 1e-10f;

void InitialiseEvents(VstMidiEvent* events, int32_t count)
{
    memset(events, 0, sizeof(VstMidiEvent) * count);
    for (int32_t i = 0; i < count; ++i) {
        events[i].type = kVstMidiType;
        events[i].byteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);
    }
}

// The threshold parameter for a threshold in whole dB.
inline float ThresholdParameter(int32_t db) { return SIndicatorAudio::ThresholdParameter(db); }

}  // namespace

VSTPlugin::VSTPlugin(audioMasterCallback audioMaster, int& result)
    : SPlugin(audioMaster, result)
{
    for (VSTPluginProgram& p : programs) {
        memset(p.name, 0, sizeof p.name);
        strcpy(p.name, "(default)");
        p.threshold.store(VSTPluginProgram::DefaultThreshold, std::memory_order_relaxed);
        p.kinds.store(VSTPluginProgram::AllKinds, std::memory_order_relaxed);
    }
    InitialiseEvents(engine.Input().Storage(), RingCapacity);
    InitialiseEvents(engine.Thru().Storage(), RingCapacity);
    cEffect.processReplacing = ReplacingEntry;
    cEffect.process = AccumulatingEntry;
}

VSTPlugin::~VSTPlugin() = default;

// ---------------------------------------------------------------------------
// Parameters and update requests: any thread (host, editor, audio). Posting
// takes no lock and never waits: it passes the editor gate, which closing the
// editor shuts and waits on.
// ---------------------------------------------------------------------------

// Inline: every call and every register it saves is a store, and a short
// block's cost is mostly its stores.
inline void VSTPlugin::PostUpdate(VstInt32 index)
{
    SPluginEditor* e = PluginEditor();
    if (e) editorGate.Through([e, index] { e->Post(index); });
}

void VSTPlugin::PostFullUpdate()
{
    SPluginEditor* e = PluginEditor();
    if (e) editorGate.Through([e] { e->PostFull(); });
}

void VSTPlugin::setParameter(VstInt32 index, float value)
{
    // NaN fails both comparisons and is ignored like any value out of range.
    if (!(value >= 0.0f && value <= 1.0f)) return;
    VSTPluginProgram& p = programs[curProgram];
    if (index == 0) {
        p.threshold.store(static_cast<int32_t>(std::floor(-100.0 * value + 0.5)), std::memory_order_relaxed);
    } else if (index >= 1 && index <= 7) {
        const int32_t bit = 1 << (index - 1);
        if (value >= KindThreshold)
            p.kinds.fetch_or(bit, std::memory_order_relaxed);
        else
            p.kinds.fetch_and(~bit, std::memory_order_relaxed);
    } else if (index < 0 || index > 15) {
        return;
    }
    PostUpdate(index);
}

float VSTPlugin::getParameter(VstInt32 index)
{
    const VSTPluginProgram& p = programs[curProgram];
    if (index == 0) return ThresholdParameter(p.threshold.load(std::memory_order_relaxed));
    if (index >= 1 && index <= 7)
        return (p.kinds.load(std::memory_order_relaxed) >> (index - 1)) & 1 ? 1.0f : 0.0f;
    return 0.0f;
}

// ---------------------------------------------------------------------------
// Audio thread, never blocks: no allocation, no system call, no lock.
// ---------------------------------------------------------------------------

VstInt32 VSTPlugin::processEvents(VstEvents* events)
{
    if (!events) return 0;
    // The record declares two pointers and hosts hand as many as numEvents:
    // read them as the array they are. The count is read once: each
    // record's copy is a store that could alias it.
    VstEvent* const* list = events->events;
    const VstInt32 count = events->numEvents;
    for (VstInt32 i = 0; i < count; ++i) {
        const VstEvent* e = list[i];
        if (!e || e->type != kVstMidiType) continue;
        VstMidiEvent* stored = engine.Receive(*reinterpret_cast<const VstMidiEvent*>(e));
        if (!stored) break;  // the rest of this delivery is dropped
        // Sent back as they came, but never with a size that would make the
        // host read past the record.
        stored->byteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);
    }
    return 0;
}

void VSTPlugin::midiInProcess() { BeginBlockMidi(BlockPoster()); }

inline void VSTPlugin::BeginBlockMidi(BlockPoster post)
{
    // What setParameter does for these indices, without its checks.
    post.Post(UpdateMidiQuiet);
    post.Post(UpdateMidiQuietAlong);
    if (engine.Waiting()) TakeInputEvents(post);
}

void VSTPlugin::TakeInputEvents(BlockPoster post)
{
    const bool active = engine.Take(BlockProgram().kinds.load(std::memory_order_relaxed));
    post.Post(UpdateMidiQuiet + (active ? 1 : 0));
    post.Post(UpdateMidiQuietAlong + (active ? 1 : 0));
}

void VSTPlugin::midiPostProcess()
{
    // The host gets the records in the thru ring's own slots: they hold
    // their bytes until the next block takes events, as long as a copy
    // would, and a block of 256 events saves 8 KiB of copying.
    int32_t n = 0;
    engine.Drain([this, &n](VstMidiEvent& e) { outgoing.events[n++] = reinterpret_cast<VstEvent*>(&e); });
    if (n == 0) return;
    outgoing.numEvents = n;
    outgoing.reserved = 0;
    sendVstEventsToHost(reinterpret_cast<VstEvents*>(&outgoing));
}

// Inlined into each entry, so that `accumulate` is a constant there. The
// fixed cost of a block is its loads, stores and calls: where the requests
// go is decided once and kept in registers, the channels are read once and
// handed to the loop as they are, and an empty block reads neither them nor
// the threshold.
__attribute__((always_inline)) inline void VSTPlugin::Run(float** inputs, float** outputs, VstInt32 sampleFrames,
                                                          bool accumulate)
{
    if (Suspended()) return;
    // The block's own requests pass the editor gate by its lane. The lane
    // ends before the events go to the host: closing the editor waits for
    // the lane, and the host may hold its own locks while it closes.
    editorGate.EnterLane();
    const BlockPoster post(editorGate.LaneOpen() ? PluginEditor() : nullptr);
    BeginBlockMidi(post);
    // A host that hands over no buffers gets an inactive block, not a crash.
    int32_t active = 0;
    if (sampleFrames > 0 && inputs && outputs) {
        const float* in0 = inputs[0];
        const float* in1 = inputs[1];
        float* out0 = outputs[0];
        float* out1 = outputs[1];
        if (in0 && in1 && out0 && out1)
            active = engine.ProcessTwo(in0, in1, out0, out1, sampleFrames,
                                       BlockProgram().threshold.load(std::memory_order_relaxed), accumulate);
    }
    post.Post(UpdateAudioQuiet + active);
    editorGate.LeaveLane();
    if (!engine.Thru().Empty()) midiPostProcess();
}

void VSTPlugin::ReplacingEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    VSTPlugin* self = static_cast<VSTPlugin*>(static_cast<AudioEffect*>(effect->object));
    self->Run(inputs, outputs, sampleFrames, false);
}

void VSTPlugin::AccumulatingEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    VSTPlugin* self = static_cast<VSTPlugin*>(static_cast<AudioEffect*>(effect->object));
    self->Run(inputs, outputs, sampleFrames, true);
}

void VSTPlugin::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    ReplacingEntry(&cEffect, inputs, outputs, sampleFrames);
}

void VSTPlugin::process(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    AccumulatingEntry(&cEffect, inputs, outputs, sampleFrames);
}

// ---------------------------------------------------------------------------
// Host dispatcher thread: state changes, programs and chunks.
// ---------------------------------------------------------------------------

bool VSTPlugin::setBypass(bool)
{
    setParameter(UpdateAudioQuiet, 0.0f);
    setParameter(UpdateBypass, 0.0f);
    setParameter(UpdateMidiQuiet, 0.0f);
    setParameter(UpdateMidiQuietAlong, 0.0f);
    return true;
}

void VSTPlugin::suspend()
{
    SPlugin::suspend();
    PostFullUpdate();
}

void VSTPlugin::resume()
{
    SPlugin::resume();
    PostFullUpdate();
}

void VSTPlugin::setSampleRate(float rate) { sampleRate = rate; }
void VSTPlugin::setBlockSize(VstInt32 size) { blockSize = size; }
void VSTPlugin::getParameterLabel(VstInt32, char* label) { *label = 0; }
void VSTPlugin::getParameterDisplay(VstInt32, char* text) { *text = 0; }
void VSTPlugin::getParameterName(VstInt32, char* text) { strcpy(text, "empty"); }

void VSTPlugin::setProgram(VstInt32 program)
{
    // Program 0 is the only one and always current; storing it again would be
    // a write racing with the audio thread's reads of the number.
    if (program != 0) return;
    PostFullUpdate();
}

void VSTPlugin::setProgramName(char* name)
{
    // The host's text stays untouched: at most 47 characters are copied.
    {
        quor::threading::SMutexLock held(nameLock);
        VSTPluginProgram& p = programs[curProgram];
        const size_t length = strnlen(name, VSTPluginProgram::NameSize - 1);
        memcpy(p.name, name, length);
        p.name[length] = 0;
    }
    PostFullUpdate();
}

namespace {

// Host buffers for program names hold 24 bytes; the record's name may lack a
// terminator when a chunk brought it.
void CopyProgramName(const VSTPluginProgram& p, char* text)
{
    const size_t length = strnlen(p.name, kVstMaxProgNameLen - 1);
    memcpy(text, p.name, length);
    text[length] = 0;
}

}  // namespace

void VSTPlugin::getProgramName(char* name)
{
    quor::threading::SMutexLock held(nameLock);
    CopyProgramName(programs[curProgram], name);
}

bool VSTPlugin::getProgramNameIndexed(VstInt32, VstInt32 index, char* text)
{
    if (index != 0) return false;
    quor::threading::SMutexLock held(nameLock);
    CopyProgramName(programs[0], text);
    return true;
}

VstInt32 VSTPlugin::getChunk(void** data, bool isPreset)
{
    const VSTPluginProgram& p = programs[isPreset ? curProgram : 0];
    const int32_t threshold = p.threshold.load(std::memory_order_relaxed);
    const int32_t kinds = p.kinds.load(std::memory_order_relaxed);
    {
        quor::threading::SMutexLock held(nameLock);
        memcpy(chunkOut, p.name, sizeof p.name);
    }
    memcpy(chunkOut + offsetof(VSTPluginProgram, threshold), &threshold, sizeof threshold);
    memcpy(chunkOut + offsetof(VSTPluginProgram, kinds), &kinds, sizeof kinds);
    *data = chunkOut;
    return VSTPluginProgram::ChunkSize;
}

VstInt32 VSTPlugin::setChunk(void* data, VstInt32 byteSize, bool isPreset)
{
    VstInt32 taken;
    {
        quor::threading::SMutexLock held(nameLock);
        taken = isPreset ? VSTPluginProgramBank::readProgram(programs, data, byteSize, curProgram)
                         : VSTPluginProgramBank::readBank(programs, data, byteSize);
    }
    if (taken == 1) setProgram(curProgram);
    return taken;
}
