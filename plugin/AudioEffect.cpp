#include "plugin/AudioEffect.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "plugin/AEffEditor.h"

extern "C" {

VstIntPtr dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    AudioEffect* effect = static_cast<AudioEffect*>(e->object);
    if (opcode == effClose) {
        try {
            effect->dispatcher(opcode, index, value, ptr, opt);
        } catch (...) {
        }
        delete effect;
        return 1;
    }
    // The host is C: an exception (an allocation failing in a request that
    // builds text) must not unwind into it. The request answers 0, "not done".
    try {
        return effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

float getParameterClass(AEffect* e, VstInt32 index)
{
    return static_cast<AudioEffect*>(e->object)->getParameter(index);
}

void setParameterClass(AEffect* e, VstInt32 index, float value)
{
    static_cast<AudioEffect*>(e->object)->setParameter(index, value);
}

void processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    static_cast<AudioEffect*>(e->object)->process(inputs, outputs, sampleFrames);
}

void processClassReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    static_cast<AudioEffect*>(e->object)->processReplacing(inputs, outputs, sampleFrames);
}

}  // extern "C"

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
}

AudioEffect::~AudioEffect()
{
    delete editor;
    editor = nullptr;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text) setProgramName(text);
        return 0;
    case effGetProgramName:
        if (text) getProgramName(text);
        return 0;
    case effGetParamLabel:
        if (text) getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        if (text) getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        if (text) getParameterName(index, text);
        return 0;
    case effGetVu:
        return static_cast<VstIntPtr>(getVu() * 32767.0);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect:
        return editor ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return VstFourCC('N', 'v', 'E', 'f');
    case effGetChunk:
        return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk: {
        if (!ptr || value < 0) return 0;
        // A size beyond 32 bits must not wrap into a small one.
        VstInt32 size = value > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<VstInt32>(value);
        return setChunk(ptr, size, index != 0);
    }
    default:
        return 0;
    }
}

void AudioEffect::setParameter(VstInt32, float) {}
float AudioEffect::getParameter(VstInt32) { return 0.0f; }

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::process(float**, float**, VstInt32) {}
void AudioEffect::processReplacing(float**, float**, VstInt32) {}
void AudioEffect::open() {}
void AudioEffect::close() {}
VstInt32 AudioEffect::getProgram() { return curProgram; }
void AudioEffect::setProgram(VstInt32 program) { curProgram = program; }
void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char* name) { *name = 0; }
void AudioEffect::getParameterLabel(VstInt32, char* label) { *label = 0; }
void AudioEffect::getParameterDisplay(VstInt32, char* text) { *text = 0; }
void AudioEffect::getParameterName(VstInt32, char* text) { *text = 0; }
float AudioEffect::getVu() { return 0.0f; }
VstInt32 AudioEffect::getChunk(void**, bool) { return 0; }
VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) { return 0; }
void AudioEffect::setSampleRate(float rate) { sampleRate = rate; }
void AudioEffect::setBlockSize(VstInt32 size) { blockSize = size; }
void AudioEffect::suspend() {}
void AudioEffect::resume() {}
void AudioEffect::setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
void AudioEffect::setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
void AudioEffect::setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
void AudioEffect::hasVu(bool state) { setFlag(effFlagsHasVu, state); }
void AudioEffect::hasClip(bool state) { setFlag(effFlagsHasClip, state); }
void AudioEffect::canMono(bool state) { setFlag(effFlagsCanMono, state); }
void AudioEffect::canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void AudioEffect::programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void AudioEffect::setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
void AudioEffect::setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }
void AudioEffect::setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
float AudioEffect::getSampleRate() { return sampleRate; }
VstInt32 AudioEffect::getBlockSize() { return blockSize; }

VstInt32 AudioEffect::getMasterVersion()
{
    VstIntPtr version = callHost(audioMasterVersion);
    return version ? static_cast<VstInt32>(version) : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() { return static_cast<VstInt32>(callHost(audioMasterCurrentId)); }
void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

// The host answers 0 for a connected pin.
bool AudioEffect::isInputConnected(VstInt32 input) { return callHost(audioMasterPinConnected, input, 0) == 0; }
bool AudioEffect::isOutputConnected(VstInt32 output) { return callHost(audioMasterPinConnected, output, 1) == 0; }

// Parameter texts: the interface gives these buffers 8 bytes.
void AudioEffect::dB2string(float value, char* text)
{
    if (value <= 0.0f)
        snprintf(text, kVstMaxParamStrLen, "-oo");
    else
        float2string(static_cast<float>(20.0 * log10(value)), text);
}

void AudioEffect::Hz2string(float samples, char* text)
{
    float2string(samples != 0.0f ? sampleRate / samples : 0.0f, text);
}

void AudioEffect::ms2string(float samples, char* text)
{
    float2string(sampleRate != 0.0f ? samples * 1000.0f / sampleRate : 0.0f, text);
}

void AudioEffect::float2string(float value, char* text)
{
    snprintf(text, kVstMaxParamStrLen, "%.2f", static_cast<double>(value));
}

void AudioEffect::long2string(long value, char* text)
{
    snprintf(text, kVstMaxParamStrLen, "%ld", value);
}
