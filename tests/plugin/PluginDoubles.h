#pragma once
// An engine with a recording editor installed, for the in-process tests.

#include <mutex>
#include <vector>

#include "plugin/SPluginEditor.h"
#include "plugin/VSTPlugin.h"

namespace bwtest {

// Records the update requests instead of flagging them; -1 stands for a full
// refresh (postUpdate).
class RecordingEditor : public SPluginEditor {
public:
    RecordingEditor(SPlugin* effect, int& result, int32_t host = 0) : SPluginEditor(effect, nullptr, result)
    {
        hostCode = host;
    }
    void postUpdate() override
    {
        std::lock_guard<std::mutex> held(mutex);
        requests.push_back(-1);
    }
    void postUpdateIndexed(long index) override
    {
        std::lock_guard<std::mutex> held(mutex);
        requests.push_back(index);
    }
    VstInt32 onKeyDown(VstKeyCode& key) override
    {
        lastKey = key;
        return 1;
    }
    std::vector<long> Take()
    {
        std::lock_guard<std::mutex> held(mutex);
        std::vector<long> taken;
        taken.swap(requests);
        return taken;
    }

    VstKeyCode lastKey{};

private:
    std::mutex mutex;
    std::vector<long> requests;
};

// The load result a double hands to its plug-in's constructor. As a base
// named before the plug-in it is initialised first, so what the plug-in's
// construction writes into it stays (a member would be initialised after the
// base and overwrite it).
struct LoadResult {
    int result = 0;
};

template <class Plugin>
class EnginePluginOf : public LoadResult, public Plugin {
public:
    explicit EnginePluginOf(audioMasterCallback host = nullptr, int32_t hostCode = 0)
        : Plugin(host, result), editorDouble(new RecordingEditor(this, result, hostCode))
    {
        this->AttachEditor(editorDouble);
    }
    RecordingEditor& Editor() { return *editorDouble; }

private:
    RecordingEditor* editorDouble;
};

using EnginePlugin = EnginePluginOf<VSTPlugin>;

}  // namespace bwtest
