#pragma once
// The plug-in's editor: the host-window glue and the mailbox between the
// engine, which posts update requests from the host's threads, and the panel,
// refreshed from the idle thread. For now only the mailbox exists; the plug-in
// does not create an editor yet.

#include <cstdint>

#include "plugin/AEffEditor.h"

class SGlobals;

class SPluginEditor : public AEffEditor {
public:
    SPluginEditor(AudioEffect* effect, SGlobals* globals, int& result);
    ~SPluginEditor() override;

    // Only stores flags, as postUpdate does, so it is safe on the audio thread.
    void postUpdateIndexed(long index) override;

    // The recognised host (0 when unknown).
    int32_t HostCode() const { return hostCode; }

protected:
    SGlobals* globals;
    AudioEffect* plugin;
    int32_t hostCode = 0;
    int32_t indexedPending = 0;
    bool isOpen = false;
    uint8_t updateFlags[256] = {};
};
