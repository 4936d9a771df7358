#pragma once
// The plug-in's editor: the host-window glue and the mailbox between the
// engine, which posts update requests from the host's threads, and the panel,
// refreshed from the idle thread. For now the window side only opens and
// closes the engine's way in; the panel attaches through Refresh. The plug-in
// does not create an editor yet.

#include <atomic>
#include <cstdint>

#include "plugin/AEffEditor.h"
#include "plugin/SUpdateMailbox.h"

class SGlobals;
class SPlugin;

class SPluginEditor : public AEffEditor {
public:
    SPluginEditor(SPlugin* effect, SGlobals* globals, int& result);
    // Closes first when still open.
    ~SPluginEditor() override;

    // Lets the engine post from now on and asks for a full refresh; returns 1.
    VstInt32 open(void* parent) override;
    // Stops the engine posting; returns once no request is being posted.
    void close() override;

    // Engine side, any thread: flags only, never a lock or a wait.
    void postUpdate() override;
    void postUpdateIndexed(long index) override;

    // Idle side, each idle period: a full refresh if one was asked for,
    // otherwise the pending indices in rising order. Nothing while closed.
    void idle() override;
    void update() override;
    void updateIndexed() override;
    // Refreshes one index (0 to 255) whether or not it was pending.
    void updateAtIndex(long index) override;

    bool IsOpen() const { return isOpen.load(std::memory_order_acquire); }
    // The recognised host (0 when unknown).
    int32_t HostCode() const { return hostCode; }

protected:
    // Delivers one request to the panel, -1 for everything; runs on the idle
    // thread (or the caller's thread for update and updateAtIndex).
    virtual void Refresh(long index);

    SGlobals* globals;
    SPlugin* plugin;
    int32_t hostCode = 0;
    std::atomic<bool> isOpen{false};
    SUpdateMailbox mailbox;
};
