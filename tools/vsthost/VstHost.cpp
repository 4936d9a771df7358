#include "tools/vsthost/VstHost.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vsthost {

namespace {

// The plug-in calls back before its record reaches the host (the version
// request with no record, and requests made while it is being constructed);
// those calls belong to the host that is loading on this thread.
thread_local Host* loadingHost = nullptr;

struct LoadingScope {
    Host* previous;
    explicit LoadingScope(Host* host) : previous(loadingHost) { loadingHost = host; }
    ~LoadingScope() { loadingHost = previous; }
};

// Keeps what is written to standard error while it lives.
class StderrCapture {
public:
    StderrCapture()
    {
        fflush(stderr);
        file = tmpfile();
        saved = file ? dup(STDERR_FILENO) : -1;
        if (saved >= 0) dup2(fileno(file), STDERR_FILENO);
    }
    ~StderrCapture() { Finish(); }
    std::string Finish()
    {
        std::string text;
        if (saved >= 0) {
            fflush(stderr);
            dup2(saved, STDERR_FILENO);
            close(saved);
            saved = -1;
            rewind(file);
            char buffer[4096];
            size_t got;
            while ((got = fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
        }
        if (file) {
            fclose(file);
            file = nullptr;
        }
        return text;
    }

private:
    FILE* file = nullptr;
    int saved = -1;
};

void CopyText(void* ptr, const std::string& text, size_t size)
{
    if (!ptr || size == 0) return;
    char* out = static_cast<char*>(ptr);
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    memcpy(out, text.data(), n);
    out[n] = 0;
}

}  // namespace

Host::Host(HostIdentity identity) : identity(std::move(identity)) {}

Host::~Host() { Close(); }

bool Host::Fail(LoadError kind, const std::string& text)
{
    error = kind;
    errorText = text;
    if (module) {
        dlclose(module);
        module = nullptr;
    }
    return false;
}

bool Host::Load(const std::string& file, bool captureMessages)
{
    if (effect || module) return Fail(LoadError::AlreadyLoaded, "a plug-in is already loaded");
    error = LoadError::None;
    errorText.clear();
    pluginMessage.clear();
    struct stat info;
    if (stat(file.c_str(), &info) != 0) return Fail(LoadError::FileMissing, file + ": no such file");
    if (!S_ISREG(info.st_mode)) return Fail(LoadError::NotLoadable, file + ": not a regular file");
    char resolved[PATH_MAX];
    path = realpath(file.c_str(), resolved) ? resolved : file;

    // A relative name without a slash would make dlopen search the library path.
    std::string openName = path.find('/') == std::string::npos ? "./" + path : path;
    module = dlopen(openName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        return Fail(LoadError::NotLoadable,
                    file + ": not a loadable shared object (" + (why ? why : "unknown reason") + ")");
    }
    typedef AEffect* (*Entry)(audioMasterCallback);
    Entry entry = reinterpret_cast<Entry>(dlsym(module, "VSTPluginMain"));
    if (!entry) entry = reinterpret_cast<Entry>(dlsym(module, "main"));
    if (!entry) return Fail(LoadError::NoEntryPoint, file + ": not a VST 2.x plug-in (no VSTPluginMain or main)");

    AEffect* e;
    {
        LoadingScope scope(this);
        if (captureMessages) {
            StderrCapture capture;
            e = entry(&Host::Callback);
            pluginMessage = capture.Finish();
        } else {
            e = entry(&Host::Callback);
        }
    }
    while (!pluginMessage.empty() && pluginMessage.back() == '\n') pluginMessage.pop_back();
    if (!e) return Fail(LoadError::Refused, file + ": the plug-in refused to load (its entry point returned null)");
    if (e->magic != kEffectMagic) return Fail(LoadError::BadMagic, file + ": not a VST 2.x plug-in (bad magic)");
    effect = e;
    effect->resvd1 = reinterpret_cast<VstIntPtr>(this);
    Dispatch(effOpen);
    return true;
}

void Host::Close()
{
    if (effect) {
        AEffect* e = effect;
        effect = nullptr;
        e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    }
    if (module) {
        dlclose(module);
        module = nullptr;
    }
}

VstIntPtr Host::Dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (!effect) return 0;
    if (opcode == effClose) {
        Close();
        return 1;
    }
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string Host::GetString(VstInt32 opcode, VstInt32 index, VstIntPtr value)
{
    // Larger than any limit of the interface, so a plug-in that overshoots
    // its limit does not write past it.
    char buffer[512] = {};
    Dispatch(opcode, index, value, buffer);
    buffer[sizeof buffer - 1] = 0;
    return buffer;
}

VstIntPtr Host::CanDo(const char* capability)
{
    return Dispatch(effCanDo, 0, 0, const_cast<char*>(capability));
}

std::vector<uint8_t> Host::GetChunk(bool preset)
{
    void* data = nullptr;
    VstIntPtr size = Dispatch(effGetChunk, preset ? 1 : 0, 0, &data);
    if (!data || size <= 0) return {};
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

VstIntPtr Host::SetChunk(const std::vector<uint8_t>& data, bool preset)
{
    std::vector<uint8_t> copy(data);
    if (copy.empty()) copy.push_back(0);  // a valid address even for an empty block
    return Dispatch(effSetChunk, preset ? 1 : 0, static_cast<VstIntPtr>(data.size()), copy.data());
}

void Host::Start(float rate, int32_t size)
{
    sampleRate = rate;
    blockSize = size;
    Dispatch(effSetSampleRate, 0, 0, nullptr, rate);
    Dispatch(effSetBlockSize, 0, size);
    Dispatch(effMainsChanged, 0, 1);
}

void Host::Stop() { Dispatch(effMainsChanged, 0, 0); }

VstIntPtr Host::SendEvents(const std::vector<VstMidiEvent>& events, const std::vector<VstMidiSysexEvent>& sysex)
{
    midiStore = events;
    sysexStore = sysex;
    const size_t count = midiStore.size() + sysexStore.size();
    eventList.assign(sizeof(VstEvents) + sizeof(VstEvent*) * count, 0);
    VstEvents* list = reinterpret_cast<VstEvents*>(eventList.data());
    list->numEvents = static_cast<VstInt32>(count);
    list->reserved = 0;
    // Delivered in order of delta frames, MIDI before system exclusive at a tie.
    size_t m = 0, s = 0, n = 0;
    while (m < midiStore.size() || s < sysexStore.size()) {
        bool takeMidi = s >= sysexStore.size() ||
                        (m < midiStore.size() && midiStore[m].deltaFrames <= sysexStore[s].deltaFrames);
        list->events[n++] = takeMidi ? reinterpret_cast<VstEvent*>(&midiStore[m++])
                                     : reinterpret_cast<VstEvent*>(&sysexStore[s++]);
    }
    return Dispatch(effProcessEvents, 0, 0, list);
}

void Host::ProcessReplacing(float** inputs, float** outputs, int32_t frames)
{
    if (!effect) return;
    effect->processReplacing(effect, inputs, outputs, frames);
    ++blocks;
    blockStart += frames;
}

void Host::ProcessAccumulating(float** inputs, float** outputs, int32_t frames)
{
    if (!effect) return;
    effect->process(effect, inputs, outputs, frames);
    ++blocks;
    blockStart += frames;
}

int Host::Requests(VstInt32 opcode) const
{
    const int slot = opcode >= 0 && opcode < CountedOpcodes ? opcode : CountedOpcodes;
    return requests[slot].load(std::memory_order_relaxed);
}

VstIntPtr Host::Callback(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    Host* host = e && e->resvd1 ? reinterpret_cast<Host*>(e->resvd1) : loadingHost;
    if (!host) return 0;
    return host->Answer(opcode, index, value, ptr, opt);
}

VstIntPtr Host::Answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float)
{
    requests[opcode >= 0 && opcode < CountedOpcodes ? opcode : CountedOpcodes].fetch_add(1, std::memory_order_relaxed);
    switch (opcode) {
    case audioMasterVersion:
        return identity.masterVersion;
    case audioMasterWantMidi:
        return 1;
    case audioMasterProcessEvents: {
        const VstEvents* list = static_cast<const VstEvents*>(ptr);
        if (!list || list->numEvents < 0) {
            malformed.fetch_add(1, std::memory_order_relaxed);
            return 0;
        }
        for (VstInt32 i = 0; i < list->numEvents; ++i) {
            const VstEvent* ev = list->events[i];
            if (!ev || (ev->type == kVstMidiType && ev->byteSize != sizeof(VstMidiEvent) - 2 * sizeof(VstInt32))) {
                malformed.fetch_add(1, std::memory_order_relaxed);
                if (!ev) continue;
            }
            ReceivedEvent r{};
            r.block = blocks;
            r.frame = blockStart + ev->deltaFrames;
            if (ev->type == kVstMidiType)
                memcpy(&r.midi, ev, sizeof r.midi);
            else {
                r.midi.type = ev->type;
                r.midi.byteSize = ev->byteSize;
                r.midi.deltaFrames = ev->deltaFrames;
            }
            received.push_back(r);
        }
        return 1;
    }
    case audioMasterSizeWindow:
        sizeWidth = index;
        sizeHeight = static_cast<int32_t>(value);
        return 1;
    case audioMasterGetVendorString:
        CopyText(ptr, identity.vendor, kVstMaxVendorStrLen);
        return ptr ? 1 : 0;
    case audioMasterGetProductString:
        CopyText(ptr, identity.product, kVstMaxProductStrLen);
        return ptr ? 1 : 0;
    case audioMasterGetVendorVersion:
        return identity.vendorVersion;
    case audioMasterCanDo: {
        const char* what = static_cast<const char*>(ptr);
        if (!what) return 0;
        if (strcmp(what, "sizeWindow") == 0) return identity.sizeWindow;
        static const char* const yes[] = {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents",
                                          "receiveVstMidiEvent", "supplyIdle"};
        for (const char* c : yes)
            if (strcmp(what, c) == 0) return 1;
        return 0;
    }
    case audioMasterGetDirectory:
        return reinterpret_cast<VstIntPtr>(path.c_str());
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate.load());
    case audioMasterGetBlockSize:
        return blockSize.load();
    default:
        return 0;
    }
}

}  // namespace vsthost
