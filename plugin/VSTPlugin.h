#pragma once
// The VST 2.x edition of the indicator: the engine (plugin/engine) behind
// the AEffect record. The settings live in the program record, the host's
// MIDI events arrive through processEvents and go back through
// sendVstEventsToHost, and each block's audio and MIDI activity, and every
// settings change, reach the editor as update requests.

#include <cstdint>

#include "plugin/SPlugin.h"
#include "plugin/SPluginEditor.h"
#include "plugin/VSTPluginProgram.h"
#include "plugin/engine/SIndicatorEngine.h"
#include "quor/threading/SMutexOS.h"

template <>
struct SMidiBytes<VstMidiEvent> {
    static const unsigned char* Of(const VstMidiEvent& e) { return reinterpret_cast<const unsigned char*>(e.midiData); }
};

class VSTPlugin : public SPlugin {
public:
    typedef SIndicatorEngine<VstMidiEvent> Engine;
    static constexpr int32_t RingCapacity = Engine::RingCapacity;

    // Update request numbers posted to the editor.
    enum Update : VstInt32 {
        UpdateAudioQuiet = 8,
        UpdateAudioActive = 9,
        UpdateBypass = 10,
        UpdateMidiQuiet = 12,
        UpdateMidiActive = 13,
        UpdateMidiQuietAlong = 14,
        UpdateMidiActiveAlong = 15,
    };

    VSTPlugin(audioMasterCallback audioMaster, int& result);
    ~VSTPlugin() override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    // Final: the record's process entries call the block directly, not
    // through these.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) final;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) final;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    VstInt32 getChunk(void** data, bool isPreset = false) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset = false) override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(VstInt32 blockSize) override;
    void suspend() override;
    void resume() override;
    VstInt32 processEvents(VstEvents* events) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool setBypass(bool onOff) override;

    // Outside a block: takes the waiting events for the thru, posting nothing.
    void midiInProcess();
    void midiPostProcess();

    quor::audio::analysis::SActivityBlockChecker<float>& Detector() { return engine.Detector(); }

protected:
    struct OutgoingEvents {
        VstInt32 numEvents;
        VstIntPtr reserved;
        VstEvent* events[RingCapacity];
    };

    // Both post only while an editor exists and its window is open; neither
    // takes a lock nor waits.
    void PostUpdate(VstInt32 index);
    void PostFullUpdate();
    typedef SPluginEditor::BlockPoster BlockPoster;
    void Run(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate);
    // The record's process entries: the block without the virtual call.
    static void ReplacingEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
    static void AccumulatingEntry(AEffect* effect, float** inputs, float** outputs, VstInt32 sampleFrames);
    // The block's first requests, then the waiting events.
    // The poster goes by value: two registers, where a reference would put
    // it on the stack and read it back after every call.
    void BeginBlockMidi(BlockPoster post);
    void TakeInputEvents(BlockPoster post);
    // The audio thread's settings: program 0 is the only one and setProgram
    // never leaves it, so the block reads no program number.
    const VSTPluginProgram& BlockProgram() const { return programs[0]; }

    VSTPluginProgram programs[1];
    // The program names are text, read and written by whichever host thread
    // asks (a chunk restored on one while another shows the name); never
    // taken on the audio thread.
    quor::threading::SMutexOS nameLock;
    // getChunk hands out this copy, so that the host reads bytes that no
    // other thread is writing.
    unsigned char chunkOut[VSTPluginProgram::ChunkSize] = {};
    Engine engine;
    OutgoingEvents outgoing{};
};
