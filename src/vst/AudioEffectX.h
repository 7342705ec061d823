// The extended effect class of VST 2.x: the requests added after 1.0 and the
// host callbacks that go with them.
#pragma once

#include "AudioEffect.h"

namespace vst {

class AudioEffectX : public AudioEffect {
public:
    using AudioEffect::AudioEffect;

    intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    // --- identity (UI thread) -----------------------------------------------
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual int32_t canDo(char* /*text*/) { return 0; }
    virtual int32_t getPlugCategory() { return kPlugCategUnknown; }
    virtual int32_t getVstVersion() { return 2400; }
    virtual int32_t getTailSize() { return 0; }

    // --- parameters ---------------------------------------------------------
    virtual bool canParameterBeAutomated(int32_t /*index*/) { return true; }
    virtual bool string2parameter(int32_t /*index*/, char* /*text*/) { return false; }
    virtual bool getParameterProperties(int32_t /*index*/, VstParameterProperties* /*p*/) {
        return false;
    }

    // --- programs -----------------------------------------------------------
    virtual bool getProgramNameIndexed(int32_t /*category*/, int32_t /*index*/, char* /*text*/) {
        return false;
    }
    virtual bool beginSetProgram() { return false; }
    virtual bool endSetProgram() { return false; }
    virtual int32_t beginLoadBank(void* /*info*/) { return 0; }
    virtual int32_t beginLoadProgram(void* /*info*/) { return 0; }

    // --- I/O configuration --------------------------------------------------
    virtual bool getInputProperties(int32_t /*index*/, VstPinProperties* /*p*/) { return false; }
    virtual bool getOutputProperties(int32_t /*index*/, VstPinProperties* /*p*/) { return false; }
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* /*in*/,
                                       VstSpeakerArrangement* /*out*/) {
        return false;
    }
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) {
        if (in) *in = nullptr;
        if (out) *out = nullptr;
        return false;
    }
    virtual bool setBypass(bool /*onOff*/) { return false; }
    virtual bool setProcessPrecision(int32_t /*precision*/) { return false; }
    virtual int32_t startProcess() { return 0; }
    virtual int32_t stopProcess() { return 0; }

    // --- MIDI ---------------------------------------------------------------
    virtual int32_t processEvents(void* /*events*/) { return 0; }
    virtual int32_t getNumMidiInputChannels() { return 0; }
    virtual int32_t getNumMidiOutputChannels() { return 0; }
    virtual int32_t getMidiProgramName(int32_t /*channel*/, void* /*name*/) { return 0; }
    virtual int32_t getCurrentMidiProgram(int32_t /*channel*/, void* /*name*/) { return -1; }
    virtual int32_t getMidiProgramCategory(int32_t /*channel*/, void* /*category*/) { return 0; }
    virtual bool hasMidiProgramsChanged(int32_t /*channel*/) { return false; }
    virtual bool getMidiKeyName(int32_t /*channel*/, void* /*keyName*/) { return false; }

    // --- host callbacks of 2.x ----------------------------------------------
    bool beginEdit(int32_t index);
    bool endEdit(int32_t index);
    bool updateDisplay();
    bool ioChanged();
    bool sizeWindow(int32_t width, int32_t height);
};

}  // namespace vst
