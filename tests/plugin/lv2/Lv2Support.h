#pragma once
// What an LV2 host gives a plug-in and its UI, for the tests: a URID map and
// MIDI atom sequences to write and read.

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/midi/midi.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bwtest {

class UridMap {
public:
    UridMap() : map{this, Map}, feature{LV2_URID__map, &map} {}
    LV2_URID Id(const char* uri) { return Map(this, uri); }
    const LV2_Feature* Feature() const { return &feature; }

private:
    static LV2_URID Map(LV2_URID_Map_Handle h, const char* uri)
    {
        auto* self = static_cast<UridMap*>(h);
        for (size_t i = 0; i < self->uris.size(); ++i)
            if (self->uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        self->uris.push_back(uri);
        return static_cast<LV2_URID>(self->uris.size());
    }
    std::vector<std::string> uris;
    LV2_URID_Map map;
    LV2_Feature feature;
};

// One event as the tests compare them: its frame, its atom type and bytes.
struct AtomEvent {
    int64_t frames;
    LV2_URID type;
    std::vector<uint8_t> bytes;
    bool operator==(const AtomEvent& o) const { return frames == o.frames && type == o.type && bytes == o.bytes; }
};

// An atom sequence port buffer of `capacity` body bytes, 8-byte aligned.
class Sequence {
public:
    explicit Sequence(uint32_t capacity) : words((sizeof(LV2_Atom) + capacity + 7) / 8 + 1, 0), capacity(capacity) {}
    LV2_Atom_Sequence* Get() { return reinterpret_cast<LV2_Atom_Sequence*>(words.data()); }

    // An input: header and the events in order.
    void Fill(LV2_URID sequenceType, const std::vector<AtomEvent>& events)
    {
        LV2_Atom_Sequence* s = Get();
        s->atom.type = sequenceType;
        s->body.unit = 0;
        s->body.pad = 0;
        lv2_atom_sequence_clear(s);
        for (const AtomEvent& e : events) {
            std::vector<uint64_t> buffer((sizeof(LV2_Atom_Event) + e.bytes.size() + 7) / 8 + 1);
            auto* ev = reinterpret_cast<LV2_Atom_Event*>(buffer.data());
            ev->time.frames = e.frames;
            ev->body.type = e.type;
            ev->body.size = static_cast<uint32_t>(e.bytes.size());
            memcpy(ev + 1, e.bytes.data(), e.bytes.size());
            if (!lv2_atom_sequence_append_event(s, capacity, ev)) abort();
        }
    }
    // An output before a run: the whole capacity offered, a mark inside.
    void Offer()
    {
        memset(words.data(), 0xA5, words.size() * 8);
        Get()->atom.size = capacity;
        Get()->atom.type = 0;
    }
    std::vector<AtomEvent> Events()
    {
        std::vector<AtomEvent> out;
        LV2_ATOM_SEQUENCE_FOREACH (Get(), ev) {
            const auto* b = static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&ev->body));
            out.push_back(AtomEvent{ev->time.frames, ev->body.type, std::vector<uint8_t>(b, b + ev->body.size)});
        }
        return out;
    }

private:
    std::vector<uint64_t> words;
    uint32_t capacity;
};

}  // namespace bwtest
