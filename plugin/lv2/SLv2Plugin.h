#pragma once
// The LV2 edition of the indicator: the engine (plugin/engine) behind LV2
// ports. Audio passes through (in place when the host connects one buffer to
// both), MIDI atoms pass through in order with their frames, the settings are
// control inputs and the two activity answers control outputs that hold a
// block's activity for ActivityHoldSeconds. No display. The URID map is
// optional: without one (lv2apply gives none) the audio and the activity
// outputs work and the MIDI ports stay empty.

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cstdint>

#include "plugin/engine/SIndicatorEngine.h"

// A MIDI message of one to three bytes as it waits in the engine's rings.
struct SLv2MidiEvent {
    int64_t frames;
    uint32_t size;
    unsigned char data[4];
};

template <>
struct SMidiBytes<SLv2MidiEvent> {
    static const unsigned char* Of(const SLv2MidiEvent& e) { return e.data; }
};

class SLv2Plugin {
public:
    // Null only when out of memory.
    static SLv2Plugin* Create(double sampleRate, const void* const* features);

    void Connect(uint32_t port, void* data);
    void Activate();
    void Run(uint32_t frames);

    // Frames a block's activity is held on the outputs at this rate.
    uint32_t HoldFrames() const { return holdFrames; }
    // The settings as the engine takes them, from the control inputs.
    int32_t ThresholdDb() const;
    int32_t Kinds() const;

private:
    SLv2Plugin(double sampleRate, LV2_URID_Map* map);
    void TakeMidi();
    void SendMidi();
    float Held(bool active, uint32_t frames, uint32_t& left) const;

    SIndicatorEngine<SLv2MidiEvent> engine;
    const float* audioIn[2] = {nullptr, nullptr};
    float* audioOut[2] = {nullptr, nullptr};
    const LV2_Atom_Sequence* midiIn = nullptr;
    LV2_Atom_Sequence* midiOut = nullptr;
    const float* threshold = nullptr;
    const float* kinds[7] = {};
    float* audioActivity = nullptr;
    float* midiActivity = nullptr;
    // 0 without a map.
    LV2_URID midiEventType;
    LV2_URID sequenceType;
    uint32_t holdFrames;
    // Frames left of the hold of each answer.
    uint32_t audioLeft = 0;
    uint32_t midiLeft = 0;
};
