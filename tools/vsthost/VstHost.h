#pragma once
// A small VST 2.x host: loads a Linux plug-in through VSTPluginMain or main,
// answers its requests and records what it sends back. No global state: any
// number of hosts may live side by side, each with its own plug-in instance.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/VstInterface.h"

namespace vsthost {

// How the host presents itself to the plug-in.
struct HostIdentity {
    std::string vendor = "Blinkwatcher project";
    std::string product = "vsthost";
    int32_t vendorVersion = 100;
    int32_t masterVersion = 2400;  // audioMasterVersion
    int32_t sizeWindow = 1;        // canDo "sizeWindow": 1 yes, -1 no, 0 unknown
};

// An event the plug-in handed to the host through audioMasterProcessEvents.
struct ReceivedEvent {
    int64_t block;  // index of the processing call it came from
    int64_t frame;  // block start + delta frames
    VstMidiEvent midi;  // the whole record (type, sizes, delta, bytes)
};

enum class LoadError { None, FileMissing, NotLoadable, NoEntryPoint, BadMagic, Refused, AlreadyLoaded };

class Host {
public:
    explicit Host(HostIdentity identity = HostIdentity());
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Loads and opens the plug-in. With captureMessages, what the plug-in
    // writes to standard error while its entry point runs is kept (see
    // PluginMessage) instead of shown; this redirects the process's standard
    // error briefly, so use it from one thread at a time.
    bool Load(const std::string& path, bool captureMessages = false);
    // effClose, then unloads the shared object. Safe to call twice.
    void Close();

    LoadError Error() const { return error; }
    const std::string& ErrorText() const { return errorText; }
    const std::string& PluginMessage() const { return pluginMessage; }
    const std::string& Path() const { return path; }
    AEffect* Effect() const { return effect; }
    bool Loaded() const { return effect != nullptr; }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // A string query (effGetEffectName and the like) through a zeroed buffer.
    std::string GetString(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0);
    VstIntPtr CanDo(const char* capability);
    std::vector<uint8_t> GetChunk(bool preset);
    VstIntPtr SetChunk(const std::vector<uint8_t>& data, bool preset);

    // effSetSampleRate, effSetBlockSize, effMainsChanged 1.
    void Start(float sampleRate, int32_t blockSize);
    void Stop();  // effMainsChanged 0
    // Delivers events for the next processing call (effProcessEvents).
    VstIntPtr SendEvents(const std::vector<VstMidiEvent>& events, const std::vector<VstMidiSysexEvent>& sysex = {});
    void ProcessReplacing(float** inputs, float** outputs, int32_t frames);
    void ProcessAccumulating(float** inputs, float** outputs, int32_t frames);

    // Events sent back, kept by the processing thread: read them from that
    // thread or after it stopped.
    const std::vector<ReceivedEvent>& Received() const { return received; }
    void ClearReceived() { received.clear(); }
    // Event lists sent back that no host could read safely: a null list, a
    // negative count, a null event, a MIDI record that does not say 24 bytes.
    int MalformedEvents() const { return malformed.load(std::memory_order_relaxed); }
    // How often each host request arrived (by audioMaster opcode); requests
    // may come from any thread.
    int Requests(VstInt32 opcode) const;
    int64_t Blocks() const { return blocks; }
    int32_t LastSizeWindowWidth() const { return sizeWidth; }
    int32_t LastSizeWindowHeight() const { return sizeHeight; }
    HostIdentity& Identity() { return identity; }

    // The callback given to plug-ins.
    static VstIntPtr Callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt);

private:
    VstIntPtr Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    bool Fail(LoadError kind, const std::string& text);

    HostIdentity identity;
    std::string path;
    void* module = nullptr;
    AEffect* effect = nullptr;
    LoadError error = LoadError::None;
    std::string errorText;
    std::string pluginMessage;
    std::vector<ReceivedEvent> received;
    static constexpr int CountedOpcodes = 64;
    std::atomic<int> requests[CountedOpcodes + 1] = {};  // the last counts every other opcode
    std::atomic<int> malformed{0};
    std::atomic<float> sampleRate{44100.0f};
    std::atomic<int32_t> blockSize{1024};
    int64_t blocks = 0;
    int64_t blockStart = 0;
    int32_t sizeWidth = 0;
    int32_t sizeHeight = 0;
    std::vector<uint8_t> eventList;  // the VstEvents block handed to the plug-in
    std::vector<VstMidiEvent> midiStore;
    std::vector<VstMidiSysexEvent> sysexStore;
};

}  // namespace vsthost
