#include "tools/vsthost/MidiFile.h"

#include <portSMF/mfmidi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace vsthost {

namespace {

struct RawEvent {
    long tick;
    int track;
    int order;
    std::vector<uint8_t> bytes;
    bool sysex;
};

class Reader : public Midifile_reader {
public:
    explicit Reader(const std::vector<uint8_t>& data) : data(data) {}

    void Run()
    {
        midifile();
        finalize();
    }

    std::vector<RawEvent> events;
    std::vector<std::pair<long, long>> tempos;  // tick, microseconds per quarter note
    int division = 0;
    int tracksAnnounced = 0;
    int tracksRead = 0;
    std::string error;

protected:
    void* Mf_malloc(size_t size) override { return malloc(size); }
    void Mf_free(void* obj, size_t) override { free(obj); }
    void Mf_starttrack() override
    {
        ++track;
        order = 0;
    }
    void Mf_endtrack() override { ++tracksRead; }
    int Mf_getc() override
    {
        if (position < data.size()) return data[position++];
        return EOF;
    }
    void Mf_chanprefix(int) override {}
    void Mf_portprefix(int) override {}
    void Mf_eot() override {}
    void Mf_error(char* message) override
    {
        if (error.empty()) error = message ? message : "malformed MIDI file";
        // The parser has no way to stop; starve it instead.
        position = data.size();
    }
    void Mf_header(int, int ntrks, int div) override
    {
        tracksAnnounced = ntrks;
        division = div;
    }
    void Mf_on(int c, int k, int v) override { Add({uint8_t(0x90 | c), uint8_t(k), uint8_t(v)}); }
    void Mf_off(int c, int k, int v) override { Add({uint8_t(0x80 | c), uint8_t(k), uint8_t(v)}); }
    void Mf_pressure(int c, int k, int v) override { Add({uint8_t(0xA0 | c), uint8_t(k), uint8_t(v)}); }
    void Mf_controller(int c, int n, int v) override { Add({uint8_t(0xB0 | c), uint8_t(n), uint8_t(v)}); }
    void Mf_pitchbend(int c, int lsb, int msb) override { Add({uint8_t(0xE0 | c), uint8_t(lsb), uint8_t(msb)}); }
    void Mf_program(int c, int p) override { Add({uint8_t(0xC0 | c), uint8_t(p)}); }
    void Mf_chanpressure(int c, int p) override { Add({uint8_t(0xD0 | c), uint8_t(p)}); }
    void Mf_sysex(int length, unsigned char* message) override
    {
        if (length > 0) Add(std::vector<uint8_t>(message, message + length), true);
    }
    void Mf_arbitrary(int length, unsigned char* message) override
    {
        if (length <= 0) return;
        std::vector<uint8_t> bytes(message, message + length);
        if (bytes[0] == 0xF0)
            Add(bytes, true);
        else if (length <= 3 && bytes[0] >= 0x80)
            Add(bytes, false);
    }
    void Mf_metamisc(int, int, unsigned char*) override {}
    void Mf_seqnum(int) override {}
    void Mf_smpte(int, int, int, int, int) override {}
    void Mf_timesig(int, int, int, int) override {}
    void Mf_tempo(int microseconds) override { tempos.emplace_back(Mf_currtime, microseconds); }
    void Mf_keysig(int, int) override {}
    void Mf_sqspecific(int, unsigned char*) override {}
    void Mf_text(int, int, unsigned char*) override {}

private:
    void Add(std::vector<uint8_t> bytes, bool sysex = false)
    {
        events.push_back(RawEvent{Mf_currtime, track, order++, std::move(bytes), sysex});
    }

    const std::vector<uint8_t>& data;
    size_t position = 0;
    int track = -1;
    int order = 0;
};

void PutVarLen(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t bytes[5];
    int n = 0;
    bytes[n++] = value & 0x7F;
    while (value >>= 7) bytes[n++] = 0x80 | (value & 0x7F);
    while (n) out.push_back(bytes[--n]);
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8) out.push_back(uint8_t(v >> s));
}

}  // namespace

bool ReadMidiFile(const std::string& path, std::vector<TimedMessage>& messages, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot open";
        return false;
    }
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < 14 || std::string(data.begin(), data.begin() + 4) != "MThd") {
        error = path + ": not a standard MIDI file";
        return false;
    }
    Reader reader(data);
    reader.Run();
    if (!reader.error.empty()) {
        error = path + ": " + reader.error;
        return false;
    }
    if (reader.division == 0) {
        error = path + ": no time division";
        return false;
    }

    // Ticks to seconds: SMPTE divisions are absolute, metrical ones follow the
    // tempo map (the tempo events of every track apply to all tracks).
    double secondsPerTickSmpte = 0.0;
    if (reader.division & 0x8000) {
        int fps = 256 - ((reader.division >> 8) & 0xFF);
        int perFrame = reader.division & 0xFF;
        double rate = fps == 29 ? 29.97 : fps;
        if (perFrame == 0 || fps <= 0) {
            error = path + ": bad SMPTE division";
            return false;
        }
        secondsPerTickSmpte = 1.0 / (rate * perFrame);
    }
    std::stable_sort(reader.tempos.begin(), reader.tempos.end(),
                     [](const std::pair<long, long>& a, const std::pair<long, long>& b) { return a.first < b.first; });
    auto seconds = [&](long tick) {
        if (secondsPerTickSmpte > 0.0) return tick * secondsPerTickSmpte;
        double t = 0.0;
        long at = 0;
        double perTick = 500000.0 / 1e6 / reader.division;
        for (const auto& tempo : reader.tempos) {
            if (tempo.first >= tick) break;
            t += (tempo.first - at) * perTick;
            at = tempo.first;
            perTick = tempo.second / 1e6 / reader.division;
        }
        return t + (tick - at) * perTick;
    };

    messages.clear();
    for (RawEvent& e : reader.events)
        messages.push_back(TimedMessage{seconds(e.tick), e.track, e.order, std::move(e.bytes), e.sysex});
    std::stable_sort(messages.begin(), messages.end(), [](const TimedMessage& a, const TimedMessage& b) {
        if (a.seconds != b.seconds) return a.seconds < b.seconds;
        if (a.track != b.track) return a.track < b.track;
        return a.order < b.order;
    });
    return true;
}

bool WriteMidiFile(const std::string& path, uint16_t division, const std::vector<std::vector<SmfEvent>>& tracks,
                   std::string& error)
{
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    const uint16_t format = tracks.size() > 1 ? 1 : 0;
    out.push_back(uint8_t(format >> 8));
    out.push_back(uint8_t(format));
    out.push_back(uint8_t(tracks.size() >> 8));
    out.push_back(uint8_t(tracks.size()));
    out.push_back(uint8_t(division >> 8));
    out.push_back(uint8_t(division));
    for (const auto& track : tracks) {
        std::vector<SmfEvent> sorted(track);
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const SmfEvent& a, const SmfEvent& b) { return a.tick < b.tick; });
        std::vector<uint8_t> body;
        uint32_t at = 0;
        for (const SmfEvent& e : sorted) {
            PutVarLen(body, e.tick - at);
            at = e.tick;
            body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        }
        PutVarLen(body, 0);
        body.insert(body.end(), {0xFF, 0x2F, 0x00});
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        Put32(out, static_cast<uint32_t>(body.size()));
        out.insert(out.end(), body.begin(), body.end());
    }
    std::ofstream file(path, std::ios::binary);
    if (!file || !file.write(reinterpret_cast<const char*>(out.data()), out.size())) {
        error = path + ": cannot write";
        return false;
    }
    return true;
}

}  // namespace vsthost
