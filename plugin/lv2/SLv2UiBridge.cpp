#include "plugin/lv2/SLv2UiBridge.h"

#include <cmath>
#include <cstring>
#include <new>

#include "plugin/SPluginEditor.h"
#include "plugin/engine/SIndicatorAudio.h"
#include "plugin/ui/SPluginPanel.h"
#include "quor/gui/context/SDisplayHandles.h"

namespace {

constexpr float KindThreshold = 1e-10f;

}  // namespace

SLv2UiBridge* SLv2UiBridge::Create(unsigned long parent, WriteFunction write, void* controller,
                                   ResizeFunction resize, void* resizeHandle)
{
    // Nothing to show on and nothing to show in: no object, and no X call.
    if (!parent || !write || !quor::gui::context::CurrentDisplay()) return nullptr;
    int result = 0;
    SLv2UiBridge* ui = new (std::nothrow) SLv2UiBridge(write, controller, resize, resizeHandle, result);
    if (!ui) return nullptr;
    SPluginEditor* editor = ui->PluginEditor();
    if (result != 0 || !editor) {
        delete ui;
        return nullptr;
    }
    editor->open(reinterpret_cast<void*>(static_cast<uintptr_t>(parent)));
    if (!editor->Panel()) {
        delete ui;
        return nullptr;
    }
    return ui;
}

SLv2UiBridge::SLv2UiBridge(WriteFunction w, void* c, ResizeFunction r, void* rh, int& result)
    : SPlugin(HostCallback, result), write(w), controller(c), resize(r), resizeHandle(rh)
{
    for (uint32_t i = 0; i < Settings; ++i) {
        pendingValue[i].store(0.0f, std::memory_order_relaxed);
        pending[i].store(false, std::memory_order_relaxed);
    }
}

// The editor closes as it is deleted, first thing in SPlugin's destructor.
SLv2UiBridge::~SLv2UiBridge() = default;

VstIntPtr SLv2UiBridge::HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                     float)
{
    // The editor asks the plug-in's host; during construction the object is
    // not yet this class, and nothing it asks then needs it.
    SLv2UiBridge* ui = nullptr;
    if (effect && effect->object && (opcode == audioMasterCanDo || opcode == audioMasterSizeWindow))
        ui = static_cast<SLv2UiBridge*>(static_cast<AudioEffect*>(effect->object));
    switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterCanDo:
        // The editor sizes the host's window itself unless the host can: it
        // can when it gave us ui:resize.
        return ui && ptr && strcmp(static_cast<const char*>(ptr), "sizeWindow") == 0 && ui->resize ? 1 : 0;
    case audioMasterSizeWindow:
        return ui && ui->resize && ui->resize(ui->resizeHandle, index, static_cast<int>(value)) == 0 ? 1 : 0;
    default: return 0;
    }
}

unsigned long SLv2UiBridge::Widget() const
{
    SPluginEditor* editor = PluginEditor();
    return editor && editor->Panel() ? editor->Panel()->GetWindow() : 0;
}

void SLv2UiBridge::Post(VstInt32 index)
{
    SPluginEditor* e = PluginEditor();
    if (e) editorGate.Through([e, index] { e->Post(index); });
}

void SLv2UiBridge::PortEvent(uint32_t port, uint32_t size, uint32_t format, const void* buffer)
{
    using namespace lv2ports;
    if (format != 0 || size != sizeof(float) || !buffer) return;
    float v;
    memcpy(&v, buffer, sizeof v);
    if (port == Threshold) {
        // As the plug-in takes it: whole dB, exact halves toward 0 dB.
        int32_t db = std::isnan(v) ? SIndicatorAudio::DefaultThreshold
                     : v <= SIndicatorAudio::LowestThreshold ? SIndicatorAudio::LowestThreshold
                     : v >= 0.0f                              ? 0
                                                              : static_cast<int32_t>(std::floor(v + 0.5f));
        thresholdDb.store(db, std::memory_order_relaxed);
        Post(0);
    } else if (port >= FirstKind && port <= LastKind) {
        const int32_t bit = 1 << (port - FirstKind);
        if (v > 0.0f)
            kinds.fetch_or(bit, std::memory_order_relaxed);
        else
            kinds.fetch_and(~bit, std::memory_order_relaxed);
        Post(static_cast<VstInt32>(port - FirstKind + 1));
    } else if (port == AudioActivity) {
        audioActive.store(v > 0.5f, std::memory_order_relaxed);
        Post(v > 0.5f ? 9 : 8);
    } else if (port == MidiActivity) {
        midiActive.store(v > 0.5f, std::memory_order_relaxed);
        Post(v > 0.5f ? 13 : 12);
    }
}

float SLv2UiBridge::getParameter(VstInt32 index)
{
    if (index == 0) return SIndicatorAudio::ThresholdParameter(thresholdDb.load(std::memory_order_relaxed));
    if (index >= 1 && index <= 7) return (kinds.load(std::memory_order_relaxed) >> (index - 1)) & 1 ? 1.0f : 0.0f;
    return 0.0f;
}

void SLv2UiBridge::setParameter(VstInt32 index, float value)
{
    // The VST edition's parameter rules, so the panel behaves the same.
    if (!(value >= 0.0f && value <= 1.0f)) return;
    if (index == 0) {
        const int32_t db = static_cast<int32_t>(std::floor(-100.0 * value + 0.5));
        thresholdDb.store(db, std::memory_order_relaxed);
        Pending(0, static_cast<float>(db));
    } else if (index >= 1 && index <= 7) {
        const int32_t bit = 1 << (index - 1);
        const bool on = value >= KindThreshold;
        if (on)
            kinds.fetch_or(bit, std::memory_order_relaxed);
        else
            kinds.fetch_and(~bit, std::memory_order_relaxed);
        Pending(static_cast<uint32_t>(index), on ? 1.0f : 0.0f);
    } else if (index < 0 || index > 15) {
        return;
    }
    Post(index);
}

void SLv2UiBridge::Pending(uint32_t setting, float value)
{
    pendingValue[setting].store(value, std::memory_order_relaxed);
    pending[setting].store(true, std::memory_order_release);
}

int SLv2UiBridge::Idle()
{
    // The host reports an output only when it changes, while the VST engine
    // reports every block: a request lost to the panel's full refresh (both
    // lamps dark, which clears what is pending) would leave a lamp wrong
    // until the next change. So the lamps are told the last values again;
    // a lamp that already shows its value is not repainted.
    Post(audioActive.load(std::memory_order_relaxed) ? 9 : 8);
    Post(midiActive.load(std::memory_order_relaxed) ? 13 : 12);
    for (uint32_t i = 0; i < Settings; ++i) {
        if (!pending[i].load(std::memory_order_relaxed) || !pending[i].exchange(false, std::memory_order_acquire))
            continue;
        const float value = pendingValue[i].load(std::memory_order_relaxed);
        write(controller, lv2ports::Threshold + i, sizeof value, 0, &value);
    }
    return 0;
}
