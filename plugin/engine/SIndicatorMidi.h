#pragma once
// The MIDI half of the indicator's block, for any format's event record:
// events wait in an input ring until the block takes them, each is classified
// against the monitored kinds, and every event (monitored or not) moves on to
// the thru ring, from which the format sends them on in their order with
// their own frames.
//
// A format tells the engine where a record's MIDI bytes are by specialising
// SMidiBytes: at least three readable bytes, status first.

#include <cstdint>

#include "plugin/engine/SEventRing.h"

template <typename Event>
struct SMidiBytes;  // static const unsigned char* Of(const Event&)

namespace indicator {

// MIDI kinds as the settings number them: 1 note on ... 7 pitch bend, 0 for
// system messages. Bit (kind - 1) of the monitored set selects a kind.
enum Kind : int32_t { KindNone, NoteOn, NoteOff, ControlChange, PolyAftertouch, ChannelAftertouch, ProgramChange, PitchBend };
constexpr int32_t AllKinds = 127;

inline int32_t KindOf(const unsigned char* midi)
{
    const unsigned status = midi[0] & 0xF0u;
    const unsigned velocity = midi[2] & 0x7Fu;
    switch (status) {
    case 0x90: return velocity > 0 ? NoteOn : NoteOff;
    case 0x80: return NoteOff;
    case 0xB0: return ControlChange;
    case 0xA0: return PolyAftertouch;
    case 0xD0: return ChannelAftertouch;
    case 0xC0: return ProgramChange;
    case 0xE0: return PitchBend;
    default: return KindNone;
    }
}

inline bool Monitored(int32_t kind, int32_t kinds) { return kind != KindNone && ((kinds >> (kind - 1)) & 1); }

}  // namespace indicator

template <typename Event>
class SIndicatorMidi {
public:
    typedef SEventRing<Event> Ring;

    // Events arriving for the next block; null (the event dropped) when 256
    // are waiting. The stored copy is returned for the format to finish.
    Event* Receive(const Event& e) { return input.Push(e); }
    bool Waiting() const { return !input.Empty(); }

    // The block takes every waiting event: true when one of a kind in
    // `kinds` was among them. A full thru ring drops the event from the thru
    // only.
    bool Take(int32_t kinds)
    {
        bool active = false;
        while (!input.Empty()) {
            const Event& e = input.Pop();
            active |= indicator::Monitored(indicator::KindOf(SMidiBytes<Event>::Of(e)), kinds);
            thru.Push(e);
        }
        return active;
    }

    // Hands the thru events to `send(const Event&)` in their order and
    // empties the ring; answers how many were handed.
    template <typename Send>
    int32_t Drain(Send&& send)
    {
        int32_t n = 0;
        while (!thru.Empty()) {
            send(thru.Pop());
            ++n;
        }
        return n;
    }

    Ring& Input() { return input; }
    Ring& Thru() { return thru; }

private:
    Ring input;
    Ring thru;
};
