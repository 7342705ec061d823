// The editor base of our view toolkit: the host's editor requests (rectangle,
// open, close, idle) for a window of a fixed size. The window itself is not
// built yet: open answers false and no window ever exists.
#pragma once

#include <cstdint>

#include "../vst/AEffEditor.h"

namespace vexal {

class AEffGUIEditor : public vst::AEffEditor {
public:
    static constexpr int16_t kWindowWidth = 524;
    static constexpr int16_t kWindowHeight = 462;

    explicit AEffGUIEditor(vst::AudioEffect* effect) : AEffEditor(effect) {
        rect.top = 0;
        rect.left = 0;
        rect.bottom = kWindowHeight;
        rect.right = kWindowWidth;
    }

    bool getRect(vst::ERect** r) override {
        *r = &rect;
        return true;
    }
    bool open(void*) override { return false; }
    void close() override { systemWindow = nullptr; }
    void idle() override {}

    // True while the host has the window open; controls exist only then.
    bool hasWindow() const { return systemWindow != nullptr; }

protected:
    vst::ERect rect{};
};

}  // namespace vexal
