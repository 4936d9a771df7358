#pragma once
// The indicator's engine, the same for every plug-in format: a block takes
// the waiting MIDI events (monitored against the kinds, moved to the thru),
// passes the audio through and tells whether it rose above the threshold,
// and then hands the thru events back to the format in order. It knows no
// plug-in format and no display; a format's glue owns one, feeds it its
// events and settings, and turns its answers into its own outputs.
//
// Audio thread only: nothing here allocates, locks or makes a system call.

#include "plugin/engine/SIndicatorAudio.h"
#include "plugin/engine/SIndicatorMidi.h"

template <typename Event>
class SIndicatorEngine : public SIndicatorAudio, public SIndicatorMidi<Event> {
public:
    static constexpr int32_t RingCapacity = SEventRing<Event>::capacity;
};
