#pragma once
// The program's common plug-in class: identity, capability answers, editor
// routing and the gate through which update requests reach the editor.

#include <atomic>

#include "plugin/AudioEffectX.h"
#include "quor/data/datastring.h"
#include "quor/threading/SGate.h"
#include "quor/threading/SMutexOS.h"

class SGlobals;
class SPluginEditor;

class SPlugin : public AudioEffectX {
public:
    // Construction may set `result` (see the load result codes of the entry point).
    SPlugin(audioMasterCallback audioMaster, int& result);
    ~SPlugin() override;

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
    void open() override;
    void close() override;
    void suspend() override;
    void resume() override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(VstInt32 blockSize) override;
    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;

    // The display name of the recognised host; empty without an editor.
    const char* PluginHostName() const;

    // The editor-closed flag. Reading it takes no lock. Closing returns only
    // when no update request is still being posted, so after it nothing
    // reaches the editor until it is opened again; open and close are
    // serialised by the plug-in lock.
    bool EditorClosed() const { return editorGate.IsClosed(); }
    void SetEditorClosed(bool closed);

    bool Suspended() const { return suspended.load(std::memory_order_relaxed); }
    const quor::data::datastring<32, char>* EffectName() const { return effectName; }
    const quor::data::datastring<32, char>* PluginDirectory() const { return directory; }
    SGlobals* Globals() const { return globals; }
    // What effEditGetRect answers.
    void SetEditorRect(const ERect& r) { editorRect = r; }

    // The directory part of a plug-in path; empty when there is none or the
    // path does not fit the 512-byte work buffer.
    static quor::data::datastring<32, char> DirectoryOf(const char* path);

    static constexpr VstInt32 Version = 100;  // in hundredths: 1.00
    static const char* const ProductName;
    static const char* const VendorName;
    static const char* const SupportContact;

protected:
    // Takes ownership; sets or clears the has-editor flag.
    void AttachEditor(SPluginEditor* editor);
    SPluginEditor* PluginEditor() const { return pluginEditor; }

    // Closed while no editor window is open; posting passes it wait-free.
    quor::threading::SGate editorGate;
    // Written by the dispatcher thread, read by the audio thread.
    std::atomic<bool> suspended{true};
    SPluginEditor* pluginEditor = nullptr;
    ERect editorRect{0, 0, 75, 100};
    SGlobals* globals = nullptr;
    quor::data::datastring<32, char>* effectName = nullptr;
    quor::data::datastring<32, char>* directory = nullptr;
    // Only the editor's open and close take it, never the audio thread.
    quor::threading::SMutexOS lock;
};
