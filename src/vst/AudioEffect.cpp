#include "AudioEffect.h"

namespace vst {

namespace {

intptr_t VEXAL_VSTCALL dispatchEffect(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                      void* ptr, float opt) {
    AudioEffect* effect = AudioEffect::fromAeffect(e);
    if (!effect) return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;  // the record dies with the instance
        return 0;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void VEXAL_VSTCALL processAccumulating(AEffect*, float**, float**, int32_t) {
    // Deprecated entry: hosts of 2.4 use the replacing entries only.
}

void VEXAL_VSTCALL processFloat(AEffect* e, float** inputs, float** outputs, int32_t frames) {
    if (AudioEffect* effect = AudioEffect::fromAeffect(e))
        effect->processReplacing(inputs, outputs, frames);
}

void VEXAL_VSTCALL processDouble(AEffect* e, double** inputs, double** outputs, int32_t frames) {
    if (AudioEffect* effect = AudioEffect::fromAeffect(e))
        effect->processDoubleReplacing(inputs, outputs, frames);
}

void VEXAL_VSTCALL setParameterEntry(AEffect* e, int32_t index, float value) {
    if (AudioEffect* effect = AudioEffect::fromAeffect(e)) effect->setParameter(index, value);
}

float VEXAL_VSTCALL getParameterEntry(AEffect* e, int32_t index) {
    AudioEffect* effect = AudioEffect::fromAeffect(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

}  // namespace

AudioEffect::AudioEffect(HostCallback hostCallback, int32_t numPrograms, int32_t numParams)
    : audioMaster(hostCallback), numPrograms(numPrograms), numParams(numParams) {
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffect;
    cEffect.process = processAccumulating;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = 0;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processFloat;
    cEffect.processDoubleReplacing = nullptr;
}

AudioEffect::~AudioEffect() {
    delete editor;
    editor = nullptr;
}

void AudioEffect::canProcessReplacing(bool state) {
    if (state)
        cEffect.flags |= effFlagsCanReplacing;
    else
        cEffect.flags &= ~effFlagsCanReplacing;
}

void AudioEffect::canDoubleReplacing(bool state) {
    if (state) {
        cEffect.flags |= effFlagsCanDoubleReplacing;
        cEffect.processDoubleReplacing = processDouble;
    } else {
        cEffect.flags &= ~effFlagsCanDoubleReplacing;
        cEffect.processDoubleReplacing = nullptr;
    }
}

void AudioEffect::programsAreChunks(bool state) {
    if (state)
        cEffect.flags |= effFlagsProgramChunks;
    else
        cEffect.flags &= ~effFlagsProgramChunks;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    if (editor)
        cEffect.flags |= effFlagsHasEditor;
    else
        cEffect.flags &= ~effFlagsHasEditor;
}

intptr_t AudioEffect::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

int32_t AudioEffect::getMasterVersion() {
    if (!audioMaster) return 1;
    const intptr_t version = callHost(audioMasterVersion);
    return version != 0 ? static_cast<int32_t>(version) : 1;
}

int32_t AudioEffect::getCurrentUniqueId() {
    return static_cast<int32_t>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

// Hosts in use answer 0 for a connected pin.
bool AudioEffect::isInputConnected(int32_t input) {
    return audioMaster ? callHost(audioMasterPinConnected, input, 0) == 0 : true;
}

bool AudioEffect::isOutputConnected(int32_t output) {
    return audioMaster ? callHost(audioMasterPinConnected, output, 1) == 0 : true;
}

void AudioEffect::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

intptr_t AudioEffect::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    auto* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            if (value < numPrograms && value >= 0) setProgram(static_cast<int32_t>(value));
            return 0;
        case effGetProgram: return getProgram();
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
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<int32_t>(value)); return 0;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            return 0;
        case effEditGetRect:
            if (editor && ptr) return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
            return 0;
        case effEditOpen: return editor ? (editor->open(ptr) ? 1 : 0) : 0;
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effEditIdle:
            if (editor) editor->hostIdle();
            return 0;
        case effIdentify: return fourCharCode('N', 'v', 'E', 'f');
        case effGetChunk: return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
        case effSetChunk:
            return setChunk(ptr, static_cast<int32_t>(value), index != 0);
        default: return 0;
    }
}

}  // namespace vst
