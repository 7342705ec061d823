#include "X11Input.h"


#include <cstdlib>

namespace vexal::platform {

uint32_t modifierBits(unsigned int state) {
    uint32_t bits = 0;
    if (state & ShiftMask) bits |= kInputShift;
    if (state & ControlMask) bits |= kInputControl;
    if (state & Mod1Mask) bits |= kInputAlt;
    return bits;
}

uint32_t inputBits(unsigned int state) {
    uint32_t bits = modifierBits(state);
    if (state & Button1Mask) bits |= kInputLeft;
    if (state & Button2Mask) bits |= kInputMiddle;
    if (state & Button3Mask) bits |= kInputRight;
    return bits;
}

uint32_t buttonBit(unsigned int button) {
    switch (button) {
        case Button1: return kInputLeft;
        case Button2: return kInputMiddle;
        case Button3: return kInputRight;
        default: return 0;
    }
}

int32_t virtualKeyOf(KeySym keysym) {
    switch (keysym) {
        case XK_BackSpace: return kKeyBack;
        case XK_Tab:
        case XK_ISO_Left_Tab:
        case XK_KP_Tab: return kKeyTab;
        case XK_Return: return kKeyReturn;
        case XK_KP_Enter: return kKeyEnter;
        case XK_Escape: return kKeyEscape;
        case XK_Home:
        case XK_KP_Home: return kKeyHome;
        case XK_End:
        case XK_KP_End: return kKeyEnd;
        case XK_Left:
        case XK_KP_Left: return kKeyLeft;
        case XK_Up:
        case XK_KP_Up: return kKeyUp;
        case XK_Right:
        case XK_KP_Right: return kKeyRight;
        case XK_Down:
        case XK_KP_Down: return kKeyDown;
        case XK_Page_Up:
        case XK_KP_Page_Up: return kKeyPageUp;
        case XK_Page_Down:
        case XK_KP_Page_Down: return kKeyPageDown;
        case XK_Delete:
        case XK_KP_Delete: return kKeyDelete;
        default: return kKeyNone;
    }
}

uint32_t characterOf(KeySym keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7e) || (keysym >= 0xa0 && keysym <= 0xff))
        return static_cast<uint32_t>(keysym);
    if ((keysym & 0xff000000ul) == 0x01000000ul) return static_cast<uint32_t>(keysym & 0x00fffffful);
    return 0;
}

bool DoubleClickDetector::press(unsigned int button, Time time, int x, int y) {
    // Server times are 32-bit milliseconds that wrap.
    const uint32_t interval = static_cast<uint32_t>(time) - static_cast<uint32_t>(lastTime);
    const bool isDouble = armed && button == lastButton && interval <= kMaxInterval &&
                          std::abs(x - lastX) <= kMaxDistance && std::abs(y - lastY) <= kMaxDistance;
    armed = !isDouble;
    lastButton = button;
    lastTime = time;
    lastX = x;
    lastY = y;
    return isDouble;
}

}  // namespace vexal::platform
