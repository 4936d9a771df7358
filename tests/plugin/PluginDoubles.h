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
    RecordingEditor(AudioEffect* effect, int& result, int32_t host = 0) : SPluginEditor(effect, nullptr, result)
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

class EnginePlugin : public VSTPlugin {
public:
    explicit EnginePlugin(audioMasterCallback host = nullptr, int32_t hostCode = 0)
        : VSTPlugin(host, result), editorDouble(new RecordingEditor(this, result, hostCode))
    {
        AttachEditor(editorDouble);
    }
    RecordingEditor& Editor() { return *editorDouble; }

    int result = 0;

private:
    RecordingEditor* editorDouble;
};

}  // namespace bwtest
