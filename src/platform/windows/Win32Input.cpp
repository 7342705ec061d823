#include "Win32Input.h"

namespace vexal::platform {

namespace {
bool down(int key) { return (GetKeyState(key) & 0x8000) != 0; }
}  // namespace

uint32_t heldModifiers() {
    uint32_t bits = 0;
    if (down(VK_SHIFT)) bits |= kInputShift;
    if (down(VK_CONTROL)) bits |= kInputControl;
    if (down(VK_MENU)) bits |= kInputAlt;
    return bits;
}

uint32_t mouseBits(WPARAM flags) {
    uint32_t bits = down(VK_MENU) ? static_cast<uint32_t>(kInputAlt) : 0u;
    if (flags & MK_SHIFT) bits |= kInputShift;
    if (flags & MK_CONTROL) bits |= kInputControl;
    if (flags & MK_LBUTTON) bits |= kInputLeft;
    if (flags & MK_MBUTTON) bits |= kInputMiddle;
    if (flags & MK_RBUTTON) bits |= kInputRight;
    return bits;
}

int32_t virtualKeyOf(WPARAM key, bool extended) {
    switch (key) {
        case VK_BACK: return kKeyBack;
        case VK_TAB: return kKeyTab;
        case VK_RETURN: return extended ? kKeyEnter : kKeyReturn;
        case VK_ESCAPE: return kKeyEscape;
        case VK_HOME: return kKeyHome;
        case VK_END: return kKeyEnd;
        case VK_LEFT: return kKeyLeft;
        case VK_UP: return kKeyUp;
        case VK_RIGHT: return kKeyRight;
        case VK_DOWN: return kKeyDown;
        case VK_PRIOR: return kKeyPageUp;
        case VK_NEXT: return kKeyPageDown;
        case VK_DELETE: return kKeyDelete;
        default: return kKeyNone;
    }
}

uint32_t controlCharacterOf(WPARAM key, bool shift) {
    if (key >= '0' && key <= '9') return static_cast<uint32_t>(key);
    if (key >= 'A' && key <= 'Z') return static_cast<uint32_t>(shift ? key : key - 'A' + 'a');
    return 0;
}

uint32_t CharacterJoiner::add(wchar_t unit) {
    if (unit >= 0xd800 && unit < 0xdc00) {
        high = unit;
        return 0;
    }
    if (unit >= 0xdc00 && unit < 0xe000) {
        const wchar_t first = high;
        high = 0;
        if (first == 0) return 0;  // a low half alone is no character
        return 0x10000u + ((static_cast<uint32_t>(first) - 0xd800u) << 10) + (static_cast<uint32_t>(unit) - 0xdc00u);
    }
    high = 0;
    return unit;
}

}  // namespace vexal::platform
