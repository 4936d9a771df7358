#pragma once
// The editor base of the VST 2.x plug-in interface, with indexed updates.

#include "plugin/VstInterface.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    virtual VstInt32 getRect(ERect** rect)
    {
        if (rect) *rect = nullptr;
        return 0;
    }
    virtual VstInt32 open(void* ptr)
    {
        systemWindow = ptr;
        return 0;
    }
    virtual void close() {}
    virtual void idle() {}
    virtual void update() {}
    // Called from the host's audio thread: a flag store, nothing more.
    virtual void postUpdate() { __atomic_store_n(&updateFlag, 1, __ATOMIC_RELAXED); }
    virtual void updateIndexed() {}
    virtual void postUpdateIndexed(long) {}
    virtual void updateAtIndex(long) {}
    virtual VstInt32 onKeyDown(VstKeyCode&) { return -1; }
    virtual VstInt32 onKeyUp(VstKeyCode&) { return -1; }
    virtual VstInt32 setKnobMode(VstInt32) { return 0; }
    virtual bool onWheel(float) { return false; }

protected:
    void* systemWindow = nullptr;
    AudioEffect* effect;
    VstInt32 updateFlag = 0;
};
