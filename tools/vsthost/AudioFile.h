#pragma once
// Whole-file WAV reading and writing through libsndfile (32-bit float data,
// so samples survive bit for bit).

#include <cstdint>
#include <string>
#include <vector>

namespace vsthost {

struct AudioData {
    int channels = 0;
    int sampleRate = 0;
    std::vector<float> samples;  // interleaved
    int64_t Frames() const { return channels ? static_cast<int64_t>(samples.size()) / channels : 0; }
};

bool ReadWav(const std::string& path, AudioData& audio, std::string& error);
bool WriteWav(const std::string& path, const AudioData& audio, std::string& error);

}  // namespace vsthost
