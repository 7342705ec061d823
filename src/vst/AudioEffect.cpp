#include "AudioEffect.h"

#include <bit>

namespace vst {

namespace {

// The editor's requests come on the host's user-interface thread: callbacks
// our threads made meanwhile are delivered there first.
bool isEditorRequest(int32_t opcode) {
    return opcode == effEditOpen || opcode == effEditClose || opcode == effEditIdle || opcode == effEditKeyDown ||
           opcode == effEditKeyUp;
}

intptr_t VEXAL_VSTCALL dispatchEffect(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
                                      void* ptr, float opt) {
    AudioEffect* effect = AudioEffect::fromAeffect(e);
    if (!effect) return 0;
    const int slot = effect->enterCall();
    intptr_t result = 0;
    if (opcode == effClose) {
        effect->closeForHost(slot);
    } else {
        if (isEditorRequest(opcode)) effect->deliverHostCalls();
        result = effect->dispatcher(opcode, index, value, ptr, opt);
        if (opcode == effEditClose) effect->deliverHostCalls(true);
    }
    effect->leaveCall(slot);  // the record dies with the instance after effClose
    return result;
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
    // After effClose the host has let go of the record: nothing is said to it again.
    if (!audioMaster || hostClosed.load(std::memory_order_acquire)) return 0;
    if (opcode != audioMasterAutomate && isDeferredHere()) {
        switch (opcode) {
            case audioMasterBeginEdit:
            case audioMasterEndEdit:
            case audioMasterUpdateDisplay:
            case audioMasterIOChanged:
            case audioMasterSizeWindow: return deferredCalls.push({opcode, index, value}) ? 1 : 0;
            default: return 0;  // questions cannot wait for their answer: not asked
        }
    }
    const intptr_t answer = audioMaster(&cEffect, opcode, index, value, ptr, opt);
    noteDelivered(opcode, index);
    return answer;
}

// --- calls in progress and deferred callbacks ------------------------------------------

int AudioEffect::enterCall() {
    const std::thread::id me = std::this_thread::get_id();
    for (int i = 0; i < kCallSlots; ++i)
        if (callSlots[i].thread.load(std::memory_order_acquire) == me) {
            ++callSlots[i].depth;
            return i;
        }
    for (int i = 0; i < kCallSlots; ++i) {
        std::thread::id none{};
        if (callSlots[i].thread.compare_exchange_strong(none, me, std::memory_order_acq_rel)) {
            callSlots[i].depth = 1;
            return i;
        }
    }
    return -1;
}

bool AudioEffect::leaveCall(int slot) {
    if (slot < 0) return false;
    CallSlot& s = callSlots[slot];
    if (--s.depth > 0) return false;
    const bool doomed = s.deleteOnLeave;
    s.deleteOnLeave = false;
    s.thread.store(std::thread::id{}, std::memory_order_release);
    if (!doomed) return false;
    delete this;
    return true;
}

void AudioEffect::closeForHost(int slot) {
    deliverHostCalls(true);
    dispatcher(effClose, 0, 0, nullptr, 0.0f);
    hostClosed.store(true, std::memory_order_release);
    if (slot < 0) {
        delete this;  // not tracked (more threads inside than slots): at once, as ever
        return;
    }
    // Inside a callback of ours the window goes now; the rest when the thread leaves.
    if (callSlots[slot].depth > 1 && editor) editor->close();
    callSlots[slot].deleteOnLeave = true;
}

void AudioEffect::deferHostCallsOn(std::thread::id thread) {
    deferringThread.store(thread, std::memory_order_release);
}

void AudioEffect::stopDeferringOn(std::thread::id thread) {
    deferringThread.compare_exchange_strong(thread, std::thread::id{}, std::memory_order_acq_rel);
}

bool AudioEffect::isDeferredHere() const {
    return deferringThread.load(std::memory_order_acquire) == std::this_thread::get_id();
}

void AudioEffect::noteDelivered(int32_t opcode, int32_t index) {
    if (index < 0 || index >= 64) return;
    const uint64_t bit = uint64_t{1} << index;
    if (opcode == audioMasterBeginEdit) openEdits.fetch_or(bit, std::memory_order_relaxed);
    if (opcode == audioMasterEndEdit) openEdits.fetch_and(~bit, std::memory_order_relaxed);
}

void AudioEffect::deliverHostCalls(bool closing) {
    if (isDeferredHere()) return;
    HostCallQueue::Call call;
    // One at a time: the host may call us again from inside any of them.
    while (deferredCalls.pop(call)) callHost(call.opcode, call.index, call.value);
    if (!closing) return;
    for (uint64_t open = openEdits.load(std::memory_order_relaxed); open != 0; open &= open - 1)
        callHost(audioMasterEndEdit, std::countr_zero(open));
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
