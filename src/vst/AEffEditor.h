// The editor side of the binding: what the dispatcher's editor requests reach.
#pragma once

#include <cstdint>

#include "aeffect.h"

namespace vst {

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect) : effect(effect) {}
    virtual ~AEffEditor() = default;
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    // All of these arrive on the host's user-interface thread.
    virtual bool getRect(ERect** rect) {
        *rect = nullptr;
        return false;
    }
    virtual bool open(void* parentWindow) {
        systemWindow = parentWindow;
        return false;
    }
    virtual void close() { systemWindow = nullptr; }
    virtual void idle() {}
    // What the host's idle request (effEditIdle) reaches.
    virtual void hostIdle() { idle(); }
    virtual bool onKeyDown(int32_t /*character*/, int32_t /*virtualKey*/, int32_t /*modifiers*/) {
        return false;
    }
    virtual bool onKeyUp(int32_t /*character*/, int32_t /*virtualKey*/, int32_t /*modifiers*/) {
        return false;
    }
    virtual bool setKnobMode(int32_t /*mode*/) { return false; }
    // Called by the effect so that the editor's controls follow parameter changes.
    virtual void setParameter(int32_t /*index*/, float /*value*/) {}

    AudioEffect* getEffect() const { return effect; }
    bool isOpen() const { return systemWindow != nullptr; }

protected:
    AudioEffect* effect;
    void* systemWindow = nullptr;
};

}  // namespace vst
