// The base effect class: owns the effect record handed to the host, maps the
// dispatcher's requests to virtual operations and wraps the host callback.
//
// Threads: process* and (usually) setParameter come from the host's audio
// thread; every other request from its user-interface thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "AEffEditor.h"
#include "HostCallQueue.h"
#include "aeffect.h"

namespace vst {

class AudioEffect {
public:
    AudioEffect(HostCallback hostCallback, int32_t numPrograms, int32_t numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }
    static AudioEffect* fromAeffect(AEffect* e) {
        return e ? static_cast<AudioEffect*>(e->object) : nullptr;
    }

    // --- dispatcher ---------------------------------------------------------
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    // --- lifecycle (UI thread) ----------------------------------------------
    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float sampleRate) { this->sampleRate = sampleRate; }
    virtual void setBlockSize(int32_t blockSize) { this->blockSize = blockSize; }

    // --- processing (audio thread) ------------------------------------------
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processDoubleReplacing(double** /*inputs*/, double** /*outputs*/,
                                        int32_t /*sampleFrames*/) {}

    // --- parameters ---------------------------------------------------------
    virtual void setParameter(int32_t /*index*/, float /*value*/) {}
    virtual float getParameter(int32_t /*index*/) { return 0.0f; }
    virtual void setParameterAutomated(int32_t index, float value);
    virtual void getParameterLabel(int32_t /*index*/, char* /*label*/) {}
    virtual void getParameterDisplay(int32_t /*index*/, char* /*text*/) {}
    virtual void getParameterName(int32_t /*index*/, char* /*text*/) {}

    // --- programs and chunks ------------------------------------------------
    virtual int32_t getProgram() { return curProgram; }
    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { name[0] = 0; }
    virtual int32_t getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual int32_t setChunk(void* /*data*/, int32_t /*byteSize*/, bool /*isPreset*/) { return 0; }

    // --- configuration helpers ----------------------------------------------
    void setUniqueID(int32_t id) { cEffect.uniqueID = id; }
    void setNumInputs(int32_t n) { cEffect.numInputs = n; }
    void setNumOutputs(int32_t n) { cEffect.numOutputs = n; }
    void canProcessReplacing(bool state = true);
    void canDoubleReplacing(bool state = true);
    void programsAreChunks(bool state = true);
    void setInitialDelay(int32_t delay) { cEffect.initialDelay = delay; }
    void setEditor(AEffEditor* newEditor);
    AEffEditor* getEditor() const { return editor; }

    float getSampleRate() const { return sampleRate; }
    int32_t getBlockSize() const { return blockSize; }

    // --- host callbacks -----------------------------------------------------
    int32_t getMasterVersion();
    int32_t getCurrentUniqueId();
    void masterIdle();
    // True when the host reports the pin as connected (or there is no host).
    bool isInputConnected(int32_t input);
    bool isOutputConnected(int32_t output);
    HostCallback getHostCallback() const { return audioMaster; }

    // --- calls in progress --------------------------------------------------
    // A host may delete the effect (effClose) from inside a callback we make,
    // on whichever thread we made it: the deletion then waits until that
    // thread has left our code. enterCall answers a slot for leaveCall (-1:
    // not tracked); leaveCall answers true when it has deleted the effect.
    int enterCall();
    bool leaveCall(int slot);
    // effClose: the effect is closed at once and deleted when `slot`'s thread leaves.
    void closeForHost(int slot);

    // Callbacks other than audioMasterAutomate made on `thread` (one of ours;
    // an empty id for none) wait for the host's own thread.
    void deferHostCallsOn(std::thread::id thread);
    void stopDeferringOn(std::thread::id thread);
    // On a host thread: delivers the waiting callbacks, then, when `closing`,
    // ends every gesture the host was told of and not yet told the end of.
    void deliverHostCalls(bool closing = false);

protected:
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f);

    HostCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    int32_t blockSize = 1024;
    int32_t numPrograms;
    int32_t numParams;
    int32_t curProgram = 0;
    AEffect cEffect{};

private:
    static constexpr int kCallSlots = 4;
    struct CallSlot {
        std::atomic<std::thread::id> thread{};
        int depth = 0;               // the slot's thread alone touches these
        bool deleteOnLeave = false;
    };
    bool isDeferredHere() const;
    void noteDelivered(int32_t opcode, int32_t index);

    CallSlot callSlots[kCallSlots];
    std::atomic<bool> hostClosed{false};
    std::atomic<std::thread::id> deferringThread{};
    HostCallQueue deferredCalls;
    std::atomic<uint64_t> openEdits{0};  // parameters with a gesture begun at the host
};

}  // namespace vst
