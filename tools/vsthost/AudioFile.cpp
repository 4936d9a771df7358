#include "tools/vsthost/AudioFile.h"

#include <sndfile.h>

namespace vsthost {

bool ReadWav(const std::string& path, AudioData& audio, std::string& error)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    audio.channels = info.channels;
    audio.sampleRate = info.samplerate;
    audio.samples.assign(static_cast<size_t>(info.frames) * info.channels, 0.0f);
    sf_count_t got = sf_readf_float(file, audio.samples.data(), info.frames);
    sf_close(file);
    audio.samples.resize(static_cast<size_t>(got) * info.channels);
    return true;
}

bool WriteWav(const std::string& path, const AudioData& audio, std::string& error)
{
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = audio.sampleRate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    sf_count_t frames = audio.Frames();
    sf_count_t put = sf_writef_float(file, audio.samples.data(), frames);
    sf_close(file);
    if (put != frames) {
        error = path + ": write failed";
        return false;
    }
    return true;
}

}  // namespace vsthost
