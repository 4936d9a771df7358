#pragma once
// A host's event list of note-ons, one a frame on rotating channels, as the
// audio-thread tests send it with every block.

#include <cstdint>
#include <vector>

#include "plugin/VstInterface.h"

class NoteOns {
public:
    explicit NoteOns(int count) : events(static_cast<size_t>(count)), storage(sizeof(VstEvents) + count * sizeof(VstEvent*))
    {
        for (int i = 0; i < count; ++i) {
            VstMidiEvent& m = events[static_cast<size_t>(i)];
            m = VstMidiEvent{};
            m.type = kVstMidiType;
            m.byteSize = 24;  // what hosts write, whatever the record's size
            m.deltaFrames = i;
            m.midiData[0] = static_cast<char>(0x90 | (i & 15));
            m.midiData[1] = 60;
            m.midiData[2] = 100;
        }
        VstEvents* list = List();
        list->numEvents = count;
        list->reserved = 0;
        for (int i = 0; i < count; ++i) list->events[i] = reinterpret_cast<VstEvent*>(&events[static_cast<size_t>(i)]);
    }
    VstEvents* List() { return reinterpret_cast<VstEvents*>(storage.data()); }

private:
    std::vector<VstMidiEvent> events;
    std::vector<uint8_t> storage;
};
