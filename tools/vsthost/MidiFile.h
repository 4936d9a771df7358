#pragma once
// Standard MIDI files: reading through Portsmf's parser into timed messages,
// and a small writer for generated files.

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

struct TimedMessage {
    double seconds;
    int track;
    int order;  // position within its track, to keep ties in file order
    std::vector<uint8_t> bytes;
    bool sysex;  // a system exclusive message (F0 ... F7), else a short message
};

// Messages of every track, merged in time order (ties: track, then file order).
// Channel messages, system exclusive messages, and short system messages
// stored as escapes (F7 length bytes). Meta events are read for the tempo only.
bool ReadMidiFile(const std::string& path, std::vector<TimedMessage>& messages, std::string& error);

// One track event: delta-less SMF encoding of the event that follows the
// delta time (a channel message, F0 length data, F7 length data, or FF type
// length data).
struct SmfEvent {
    uint32_t tick;
    std::vector<uint8_t> bytes;
};

// Writes a format 0 (one track) or format 1 file; an end-of-track event is
// appended to each track.
bool WriteMidiFile(const std::string& path, uint16_t division, const std::vector<std::vector<SmfEvent>>& tracks,
                   std::string& error);

}  // namespace vsthost
