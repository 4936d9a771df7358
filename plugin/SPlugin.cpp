#include "plugin/SPlugin.h"

#include <cstring>

#include "plugin/SGlobals.h"
#include "plugin/SPluginEditor.h"
#include "quor/gui/context/SDisplayHandles.h"

using quor::data::datastring;

const char* const SPlugin::ProductName = "Blinkwatcher";
const char* const SPlugin::VendorName = "Quor Audio";
const char* const SPlugin::SupportContact = "support@quor-audio.example";

SPlugin::SPlugin(audioMasterCallback audioMaster, int& result) : AudioEffectX(audioMaster, 1, 0)
{
    globals = new SGlobals();
    // Recognises the host; may set the result to 3 (host not supported).
    AttachEditor(new SPluginEditor(this, globals, result));
    isSynth(false);
    setUniqueID(VstFourCC('B', 'k', 'w', 'r'));
    setNumInputs(2);
    setNumOutputs(2);
    canProcessReplacing(true);
    hasVu(false);
    hasClip(false);
    programsAreChunks(true);
    canMono(true);
    suspended = true;
}

SPlugin::~SPlugin()
{
    // The editor first: closing it still takes the plug-in lock.
    delete pluginEditor;
    pluginEditor = nullptr;
    editor = nullptr;
    delete effectName;
    effectName = nullptr;
    delete directory;
    directory = nullptr;
    delete globals;
    globals = nullptr;
}

void SPlugin::AttachEditor(SPluginEditor* e)
{
    if (pluginEditor != e) delete pluginEditor;
    pluginEditor = e;
    editor = e;
    if (e) e->ChoosePostPath();
    setFlag(effFlagsHasEditor, e != nullptr);
}

VstIntPtr SPlugin::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    switch (opcode) {
    case effEditGetRect:
        if (!ptr) return 0;
        if (pluginEditor) pluginEditor->PreviewRect();
        *static_cast<ERect**>(ptr) = &editorRect;
        return 1;
    case effEditOpen:
        if (!ptr || !pluginEditor) return 0;
        quor::gui::context::AdoptHostDisplay(reinterpret_cast<Display*>(value));
        pluginEditor->hostDisplay = reinterpret_cast<Display*>(value);
        return pluginEditor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (!pluginEditor) return 0;
        pluginEditor->close();
        return 1;
    case effEditIdle:
        return 0;
    case effGetInputProperties:
    case effGetOutputProperties:
        return 0;
    default:
        return AudioEffectX::dispatcher(opcode, index, value, ptr, opt);
    }
}

void SPlugin::open() {}
void SPlugin::close() {}
void SPlugin::suspend() { suspended = true; }

void SPlugin::resume()
{
    if (!effectName) {
        char name[128] = {};
        getEffectName(name);
        effectName = new datastring<32, char>(name);
    }
    if (!directory) {
        directory = new datastring<32, char>();
        const char* path = static_cast<const char*>(getDirectory());
        if (path) *directory = DirectoryOf(path);
    }
    wantEvents(1);
    suspended = false;
}

datastring<32, char> SPlugin::DirectoryOf(const char* path)
{
    datastring<32, char> result;
    char buffer[512] = {};
    size_t length = strnlen(path, sizeof buffer);
    if (length >= sizeof buffer) return result;
    memcpy(buffer, path, length);
    char* separator = nullptr;
    for (char* p = buffer; *p; ++p)
        if (*p == '/' || *p == '\\') separator = p;
    if (!separator) return result;
    const char* file = separator + 1;
    const char* dot = strrchr(file, '.');
    size_t extension = dot ? strlen(dot + 1) : 0;
    size_t stem = dot ? static_cast<size_t>(dot - file) : strlen(file);
    if (length < extension + 2 || stem >= 128) return result;
    separator[1] = 0;
    result = buffer;
    return result;
}

void SPlugin::setSampleRate(float rate) { sampleRate = rate; }
void SPlugin::setBlockSize(VstInt32 size) { blockSize = size; }
bool SPlugin::getInputProperties(VstInt32, VstPinProperties*) { return false; }
bool SPlugin::getOutputProperties(VstInt32, VstPinProperties*) { return false; }

bool SPlugin::getEffectName(char* name)
{
    strcpy(name, ProductName);
    return true;
}

bool SPlugin::getVendorString(char* text)
{
    strcpy(text, VendorName);
    return true;
}

bool SPlugin::getProductString(char* text)
{
    strcpy(text, ProductName);
    return true;
}

VstInt32 SPlugin::getVendorVersion() { return Version; }

VstInt32 SPlugin::canDo(char* text)
{
    static const char* const yes[] = {"sendVstMidiEvent", "sendVstEvents", "receiveVstEvents", "receiveVstMidiEvent",
                                      "receiveVstTimeInfo"};
    for (const char* capability : yes)
        if (strcmp(text, capability) == 0) return 1;
    return -1;
}

const char* SPlugin::PluginHostName() const
{
    static const char* const names[] = {"(unknown)",   "Sonar",           "Energy XT",  "Project 5", "FL Studio",
                                        "Cantabile",   "SaviHost",        "Melodyne",   "Cubase/Nuendo",
                                        "Cubase4/Nuendo4", "Samplitude", "Tracktion", "Phrazor",    "Usine"};
    if (!pluginEditor) return "";
    int32_t code = pluginEditor->HostCode();
    if (code < 0 || code >= static_cast<int32_t>(sizeof names / sizeof names[0])) return names[0];
    return names[code];
}

void SPlugin::SetEditorClosed(bool closed)
{
    quor::threading::SMutexLock held(lock);
    if (closed)
        editorGate.Close();
    else
        editorGate.Open();
}
