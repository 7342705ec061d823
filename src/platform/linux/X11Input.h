// Translation of X input to the toolkit's terms: buttons and modifiers as
// one bit set, keysyms as VST virtual keys, double clicks by our own timing.
#pragma once

#include "X11Headers.h"

#include <cstdint>

#include "platform/NativeWindow.h"

namespace vexal::platform {

// kInputShift, kInputControl and kInputAlt (Mod1) of an X event state.
uint32_t modifierBits(unsigned int state);
// The held buttons of an X event state, and the modifiers.
uint32_t inputBits(unsigned int state);
// kInputLeft, kInputMiddle or kInputRight for buttons 1 to 3, else 0.
uint32_t buttonBit(unsigned int button);
// The virtual key of a keysym, kKeyNone for keys that only type.
int32_t virtualKeyOf(KeySym keysym);
// The Unicode character of a Latin-1 or Unicode keysym, 0 for others.
uint32_t characterOf(KeySym keysym);

// Two presses of the same button within 400 ms and 4 pixels make a double
// click; the press after a double click starts anew.
class DoubleClickDetector {
public:
    static constexpr Time kMaxInterval = 400;
    static constexpr int kMaxDistance = 4;

    bool press(unsigned int button, Time time, int x, int y);

private:
    bool armed = false;
    unsigned int lastButton = 0;
    Time lastTime = 0;
    int lastX = 0;
    int lastY = 0;
};

}  // namespace vexal::platform
