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

// KindOf and Monitored at once, without a branch: a block may bring 256
// events of mixed kinds, and a mispredicted switch costs more than the rest
// of an event's work.
inline bool MonitoredMessage(const unsigned char* midi, int32_t kinds)
{
    // The kind by the status byte's high nibble; a note on with velocity 0
    // is a note off, one kind further.
    static constexpr unsigned char ByStatus[16] = {
        KindNone, KindNone, KindNone, KindNone, KindNone, KindNone, KindNone, KindNone,
        NoteOff, NoteOn, PolyAftertouch, ControlChange, ProgramChange, ChannelAftertouch, PitchBend, KindNone};
    const unsigned status = midi[0] >> 4;
    const unsigned kind = ByStatus[status] + ((status == 9) & ((midi[2] & 0x7Fu) == 0));
    // Bit k of the shifted set is kind k's; bit 0, no kind's, is clear.
    return ((static_cast<uint32_t>(kinds) << 1) >> kind) & 1u;
}

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
        input.MoveAllTo(thru, [&active, kinds](const Event& e) {
            active |= indicator::MonitoredMessage(SMidiBytes<Event>::Of(e), kinds);
        });
        return active;
    }

    // Hands the thru events to `send(Event&)` (or `send(const Event&)`) in
    // their order and empties the ring; answers how many were handed. Each
    // is the record in its slot, which keeps it until the next Take.
    template <typename Send>
    int32_t Drain(Send&& send)
    {
        return thru.DrainAll(send);
    }

    Ring& Input() { return input; }
    Ring& Thru() { return thru; }

private:
    Ring input;
    Ring thru;
};
