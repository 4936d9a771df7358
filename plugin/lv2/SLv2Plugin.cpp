#include "plugin/lv2/SLv2Plugin.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>

#include <cmath>
#include <cstring>
#include <new>

#include "plugin/lv2/SLv2Ports.h"

SLv2Plugin* SLv2Plugin::Create(double sampleRate, const void* const* features)
{
    LV2_URID_Map* map = nullptr;
    const LV2_Feature* const* list = reinterpret_cast<const LV2_Feature* const*>(features);
    for (; list && *list; ++list)
        if (strcmp((*list)->URI, LV2_URID__map) == 0) map = static_cast<LV2_URID_Map*>((*list)->data);
    if (map && !map->map) map = nullptr;
    return new (std::nothrow) SLv2Plugin(sampleRate, map);
}

SLv2Plugin::SLv2Plugin(double sampleRate, LV2_URID_Map* map)
    : midiEventType(map ? map->map(map->handle, LV2_MIDI__MidiEvent) : 0),
      sequenceType(map ? map->map(map->handle, LV2_ATOM__Sequence) : 0),
      // A rate that is not a positive number (no host sends one) holds for
      // a 48 kHz period.
      holdFrames(static_cast<uint32_t>(
          std::ceil(lv2ports::ActivityHoldSeconds * (sampleRate > 0.0 && sampleRate < 1e7 ? sampleRate : 48000.0))))
{
}

void SLv2Plugin::Connect(uint32_t port, void* data)
{
    using namespace lv2ports;
    switch (port) {
    case AudioInLeft: audioIn[0] = static_cast<const float*>(data); break;
    case AudioInRight: audioIn[1] = static_cast<const float*>(data); break;
    case AudioOutLeft: audioOut[0] = static_cast<float*>(data); break;
    case AudioOutRight: audioOut[1] = static_cast<float*>(data); break;
    case MidiIn: midiIn = static_cast<const LV2_Atom_Sequence*>(data); break;
    case MidiOut: midiOut = static_cast<LV2_Atom_Sequence*>(data); break;
    case Threshold: threshold = static_cast<const float*>(data); break;
    case AudioActivity: audioActivity = static_cast<float*>(data); break;
    case MidiActivity: midiActivity = static_cast<float*>(data); break;
    default:
        if (port >= FirstKind && port <= LastKind) kinds[port - FirstKind] = static_cast<const float*>(data);
        break;
    }
}

void SLv2Plugin::Activate()
{
    audioLeft = 0;
    midiLeft = 0;
}

int32_t SLv2Plugin::ThresholdDb() const
{
    // Whole dB as the VST edition stores them: nearest, exact halves toward
    // 0 dB; NaN (a host's damaged value) is the default.
    const float v = threshold ? *threshold : static_cast<float>(SIndicatorAudio::DefaultThreshold);
    if (std::isnan(v)) return SIndicatorAudio::DefaultThreshold;
    if (v <= SIndicatorAudio::LowestThreshold) return SIndicatorAudio::LowestThreshold;
    if (v >= 0.0f) return 0;
    return static_cast<int32_t>(std::floor(v + 0.5f));
}

int32_t SLv2Plugin::Kinds() const
{
    // A toggle is on above zero; a port not connected keeps its default, on.
    int32_t set = 0;
    for (int32_t i = 0; i < 7; ++i)
        if (!kinds[i] || *kinds[i] > 0.0f) set |= 1 << i;
    return set;
}

void SLv2Plugin::TakeMidi()
{
    // Without a map no event can be told to be MIDI.
    if (!midiIn || !midiEventType) return;
    LV2_ATOM_SEQUENCE_FOREACH (midiIn, ev) {
        // Only short messages, as the VST edition passes them: system
        // exclusive and other atoms are neither monitored nor passed on.
        if (ev->body.type != midiEventType || ev->body.size < 1 || ev->body.size > 3) continue;
        SLv2MidiEvent e{ev->time.frames, ev->body.size, {0, 0, 0, 0}};
        memcpy(e.data, LV2_ATOM_BODY_CONST(&ev->body), ev->body.size);
        if (!engine.Receive(e)) break;  // 256 waiting: the rest of the block is dropped
    }
}

void SLv2Plugin::SendMidi()
{
    if (!midiOut) {
        engine.Drain([](const SLv2MidiEvent&) {});
        return;
    }
    // The host sets the size to the buffer's capacity before each run.
    const uint32_t capacity = midiOut->atom.size;
    if (capacity < sizeof(LV2_Atom_Sequence_Body) || !sequenceType) {
        midiOut->atom.type = 0;
        midiOut->atom.size = 0;
        engine.Drain([](const SLv2MidiEvent&) {});
        return;
    }
    midiOut->atom.type = sequenceType;
    midiOut->body.unit = 0;
    midiOut->body.pad = 0;
    lv2_atom_sequence_clear(midiOut);
    engine.Drain([this, capacity](const SLv2MidiEvent& e) {
        struct {
            LV2_Atom_Event header;
            unsigned char data[4];
        } out;
        out.header.time.frames = e.frames;
        out.header.body.size = e.size;
        out.header.body.type = midiEventType;
        memcpy(out.data, e.data, sizeof out.data);
        lv2_atom_sequence_append_event(midiOut, capacity, &out.header);  // no room: dropped, as a full thru drops
    });
}

float SLv2Plugin::Held(bool active, uint32_t frames, uint32_t& left) const
{
    if (active)
        left = holdFrames;
    else
        left = left > frames ? left - frames : 0;
    return left > 0 ? 1.0f : 0.0f;
}

void SLv2Plugin::Run(uint32_t frames)
{
    TakeMidi();
    const bool midiActive = engine.Waiting() && engine.Take(Kinds());
    // Ports not connected (no host runs so) give an inactive block, not a crash.
    const bool buffers = audioIn[0] && audioIn[1] && audioOut[0] && audioOut[1];
    const int32_t n = !buffers ? 0 : frames > INT32_MAX ? INT32_MAX : static_cast<int32_t>(frames);
    const bool audioActive =
        engine.ProcessTwo(audioIn[0], audioIn[1], audioOut[0], audioOut[1], n, ThresholdDb(), false) != 0;
    SendMidi();
    const float a = Held(audioActive, frames, audioLeft);
    const float m = Held(midiActive, frames, midiLeft);
    if (audioActivity) *audioActivity = a;
    if (midiActivity) *midiActivity = m;
}
