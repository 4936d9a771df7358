#pragma once
// The program record, which is also the 56-byte program and bank chunk:
// name, threshold in whole dB, monitored MIDI kinds (bit 0 note on ... bit 6
// pitch bend), integers in the processor's byte order.

#include <atomic>
#include <cstddef>
#include <cstdint>

struct VSTPluginProgram {
    static constexpr int32_t DefaultThreshold = -50;
    static constexpr int32_t AllKinds = 127;
    static constexpr size_t NameSize = 48;
    static constexpr int32_t ChunkSize = 56;

    char name[NameSize];
    // Written by the host's and the editor's threads while the audio thread
    // reads them; relaxed atomics of the plain words' size and bytes.
    std::atomic<int32_t> threshold;
    std::atomic<int32_t> kinds;
};

static_assert(sizeof(std::atomic<int32_t>) == 4 && std::atomic<int32_t>::is_always_lock_free,
              "the chunk holds the atomics' bytes as plain 32-bit words");
static_assert(sizeof(VSTPluginProgram) == VSTPluginProgram::ChunkSize, "program record is 56 bytes");
static_assert(offsetof(VSTPluginProgram, threshold) == 48 && offsetof(VSTPluginProgram, kinds) == 52,
              "chunk layout: name, threshold, kinds");
