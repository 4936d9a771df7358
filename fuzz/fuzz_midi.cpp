// The MIDI input with any events: the first two bytes give the block length
// (1 to 2048 frames), then every 12 bytes make one event: its kind (MIDI,
// system exclusive or any other type number), delta frames, byte size (the
// true one or any other), three MIDI bytes or a sysex length. Each event
// lives in memory of exactly its record's size. The plug-in must hand back
// its first 256 MIDI events whole and in order, and the audio unchanged.

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "FuzzHost.h"

using namespace fuzzhost;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) return 0;
    const int frames = 1 + ((data[0] | data[1] << 8) % 2048);
    data += 2;
    size -= 2;
    std::vector<std::unique_ptr<uint8_t[]>> memory;
    std::vector<VstEvent*> events;
    std::vector<VstMidiEvent> midi;
    for (; size >= 12; data += 12, size -= 12) {
        const uint8_t kind = data[0];
        const int16_t delta = static_cast<int16_t>(data[1] | data[2] << 8);
        const int16_t oddSize = static_cast<int16_t>(data[3] | data[4] << 8);
        const bool odd = data[3] & 0x80;
        if (kind < 200 || kind >= 232) {
            VstMidiEvent e{};
            e.type = kind < 200 ? kVstMidiType : kind - 232;
            e.byteSize = odd ? oddSize : static_cast<VstInt32>(sizeof(VstMidiEvent) - 8);
            e.deltaFrames = delta;
            e.noteLength = data[8] | data[9] << 8;
            e.flags = data[10];
            memcpy(e.midiData, data + 5, 3);
            e.detune = static_cast<char>(data[11]);
            memory.emplace_back(new uint8_t[sizeof e]);
            memcpy(memory.back().get(), &e, sizeof e);
            if (e.type == kVstMidiType) midi.push_back(e);
        } else {
            VstMidiSysexEvent e{};
            e.type = kVstSysExType;
            e.byteSize = odd ? oddSize : static_cast<VstInt32>(sizeof(VstMidiSysexEvent) - 8);
            e.deltaFrames = delta;
            const size_t length = (data[5] | data[6] << 8) % 512;
            e.dumpBytes = data[7] & 1 ? static_cast<VstInt32>(length) : -static_cast<VstInt32>(length);
            if (data[7] & 2) {
                memory.emplace_back(new uint8_t[length ? length : 1]);
                memset(memory.back().get(), data[8], length);
                e.sysexDump = reinterpret_cast<char*>(memory.back().get());
            }
            memory.emplace_back(new uint8_t[sizeof e]);
            memcpy(memory.back().get(), &e, sizeof e);
        }
        events.push_back(reinterpret_cast<VstEvent*>(memory.back().get()));
    }
    std::vector<uint8_t> list(sizeof(VstEvents) + sizeof(VstEvent*) * events.size());
    VstEvents* l = reinterpret_cast<VstEvents*>(list.data());
    l->numEvents = static_cast<VstInt32>(events.size());
    // The record declares room for two events; the list goes on past it.
    VstEvent** slots = reinterpret_cast<VstEvent**>(list.data() + offsetof(VstEvents, events));
    for (size_t i = 0; i < events.size(); ++i) slots[i] = events[i];
    Dispatch(effProcessEvents, 0, 0, l);

    std::unique_ptr<float[]> in0(new float[frames]), in1(new float[frames]), out0(new float[frames]),
        out1(new float[frames]);
    for (int i = 0; i < frames; ++i) {
        in0[i] = (i % 7) * 0.1f;
        in1[i] = -(i % 5) * 0.2f;
    }
    float* inputs[2] = {in0.get(), in1.get()};
    float* outputs[2] = {out0.get(), out1.get()};
    AEffect* e = Plugin();
    e->processReplacing(e, inputs, outputs, frames);
    if (memcmp(in0.get(), out0.get(), sizeof(float) * frames) || memcmp(in1.get(), out1.get(), sizeof(float) * frames))
        Broken("audio did not pass through unchanged");
    const std::vector<VstMidiEvent> back = TakeReturned();
    const size_t expected = midi.size() < 256 ? midi.size() : 256;
    if (back.size() != expected) Broken("the plug-in did not hand back its first 256 MIDI events");
    // Whole, but for the size field: whatever size a record came with, it
    // goes back with the record's own, so that no host reads past it.
    for (size_t i = 0; i < expected; ++i) {
        VstMidiEvent sent = midi[i];
        sent.byteSize = sizeof(VstMidiEvent) - 2 * sizeof(VstInt32);
        if (memcmp(&back[i], &sent, sizeof(VstMidiEvent)) != 0) Broken("a MIDI event came back changed");
    }
    return 0;
}
