// Translation of Windows input messages to the toolkit's terms: buttons and
// modifiers as one bit set, virtual-key codes as VST virtual keys.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/NativeWindow.h"

namespace vexal::platform {

// kInputShift, kInputControl and kInputAlt as the keyboard holds them now
// (for the message being handled).
uint32_t heldModifiers();
// The buttons and modifiers of a mouse message's wParam (MK_ flags), Alt added.
uint32_t mouseBits(WPARAM flags);
// The VST virtual key of a WM_KEYDOWN (`extended`: lParam's bit 24, which
// tells the keypad's Enter from Return); kKeyNone for keys that only type.
int32_t virtualKeyOf(WPARAM key, bool extended);
// The character a letter or digit key stands for while Control is held
// (WM_CHAR then only brings a control code); 0 for other keys.
uint32_t controlCharacterOf(WPARAM key, bool shift);

// UTF-16 units of WM_CHAR to code points: a high surrogate waits for its pair.
class CharacterJoiner {
public:
    // The code point complete with this unit, or 0 while half a pair is held.
    uint32_t add(wchar_t unit);

private:
    wchar_t high = 0;
};

}  // namespace vexal::platform
