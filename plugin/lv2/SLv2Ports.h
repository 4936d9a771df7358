#pragma once
// The LV2 edition's identity and port numbers, shared by the plug-in, its UI
// and the bundle's data (Blinkwatcher.ttl must list the ports in this order).
// The URIs are published: hosts store sessions and presets under them, so
// they never change.

#include <cstdint>

namespace lv2ports {

#define BW_LV2_URI "https://quor.audio/lv2/blinkwatcher"
constexpr const char* PluginUri = BW_LV2_URI;
constexpr const char* UiUri = BW_LV2_URI "#ui";
#undef BW_LV2_URI

enum Port : uint32_t {
    AudioInLeft,
    AudioInRight,
    AudioOutLeft,
    AudioOutRight,
    MidiIn,
    MidiOut,
    Threshold,
    // The seven kinds in the order of the monitored set's bits: note on
    // (bit 0) to pitch bend (bit 6).
    FirstKind,
    LastKind = FirstKind + 6,
    AudioActivity,
    MidiActivity,
    PortCount
};

// How long a block's activity stays on the activity outputs. Hosts read
// control outputs as values, not events, and most hand the UI only the
// latest one at their GUI rate (25 per second in jalv and Ardour): a burst
// one block long must still be there when the host next looks, 40 ms later
// at most, so the outputs hold it 50 ms, a period and some of the host
// timer's jitter.
constexpr double ActivityHoldSeconds = 0.050;

}  // namespace lv2ports
