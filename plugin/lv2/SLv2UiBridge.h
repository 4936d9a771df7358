#pragma once
// The LV2 UI: the VST edition's editor and panel, unchanged, shown in the
// host's ui:parent window on the toolkit's own X connection and dispatched by
// the toolkit's own thread. This object stands in for the plug-in the panel
// talks to: its parameters are the control ports as the host last reported
// them, the activity outputs reach the lamps as the engine's update requests
// would, and the settings the dialogs confirm go back to the host's control
// ports.
//
// Threads: the host's UI thread creates, reports port events, calls Idle and
// destroys; the dialogs confirm on the toolkit's dispatch thread, and the
// lamps are refreshed by the toolkit's idle thread. The host's write function
// must be called on its UI thread only, so a confirmed setting waits in a
// flag until the next Idle delivers it.

#include <atomic>
#include <cstdint>

#include "plugin/SPlugin.h"
#include "plugin/lv2/SLv2Ports.h"

class SLv2UiBridge : public SPlugin {
public:
    typedef void (*WriteFunction)(void* controller, uint32_t port, uint32_t size, uint32_t protocol,
                                  const void* buffer);
    typedef int (*ResizeFunction)(void* handle, int width, int height);

    // Null when the toolkit has no display, the parent is 0 or the editor
    // could not be built. `resize` may be null.
    static SLv2UiBridge* Create(unsigned long parent, WriteFunction write, void* controller, ResizeFunction resize,
                                void* resizeHandle);
    ~SLv2UiBridge() override;

    // The X window of the panel, for the host.
    unsigned long Widget() const;
    // A control port's new value (format 0: one float).
    void PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer);
    // Delivers the settings confirmed since the last call and tells the
    // lamps the activity again; always 0.
    int Idle();

    // What the panel reads and writes: the VST edition's parameters.
    float getParameter(VstInt32 index) override;
    void setParameter(VstInt32 index, float value) override;

private:
    SLv2UiBridge(WriteFunction write, void* controller, ResizeFunction resize, void* resizeHandle, int& result);
    static VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt);
    void Post(VstInt32 index);
    // A setting for the host's UI thread to write.
    void Pending(uint32_t setting, float value);

    static constexpr uint32_t Settings = 8;  // the threshold and the seven kinds

    WriteFunction write;
    void* controller;
    ResizeFunction resize;
    void* resizeHandle;
    // The settings in whole dB and as the monitored set, as the host last
    // reported them or the dialogs last confirmed them.
    std::atomic<int32_t> thresholdDb{-50};
    std::atomic<int32_t> kinds{127};
    // The activity outputs as last reported.
    std::atomic<bool> audioActive{false};
    std::atomic<bool> midiActive{false};
    std::atomic<float> pendingValue[Settings];
    std::atomic<bool> pending[Settings];
};
