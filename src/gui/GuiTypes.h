// The toolkit's value types: coordinates, rectangles, colours, mouse button
// and modifier states, mouse-event answers and key codes. Coordinates are
// window pixels (views are not nested): x to the right, y downward.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/NativeWindow.h"

namespace vexal {

using CCoord = double;

struct CPoint {
    CCoord x = 0;
    CCoord y = 0;
    bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
    bool operator!=(const CPoint& o) const { return !(*this == o); }
};

// left and top inclusive, right and bottom exclusive.
struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(CCoord l, CCoord t, CCoord r, CCoord b) : left(l), top(t), right(r), bottom(b) {}

    CCoord getWidth() const { return right - left; }
    CCoord getHeight() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    bool pointInside(const CPoint& p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    // Touching edges count as overlapping.
    bool rectOverlap(const CRect& o) const {
        return right >= o.left && left <= o.right && bottom >= o.top && top <= o.bottom;
    }
    CRect& bound(const CRect& o) {
        left = std::max(left, o.left);
        top = std::max(top, o.top);
        right = std::max(left, std::min(right, o.right));
        bottom = std::max(top, std::min(bottom, o.bottom));
        return *this;
    }
    CRect& unite(const CRect& o) {
        if (o.isEmpty()) return *this;
        if (isEmpty()) return *this = o;
        left = std::min(left, o.left);
        top = std::min(top, o.top);
        right = std::max(right, o.right);
        bottom = std::max(bottom, o.bottom);
        return *this;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

struct CColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;
    bool operator==(const CColor& o) const {
        return red == o.red && green == o.green && blue == o.blue && alpha == o.alpha;
    }
};

constexpr CColor kBlackCColor{0, 0, 0, 255};
constexpr CColor kWhiteCColor{255, 255, 255, 255};

// Mouse buttons and modifiers as one bit set.
constexpr uint32_t kLButton = platform::kInputLeft;
constexpr uint32_t kMButton = platform::kInputMiddle;
constexpr uint32_t kRButton = platform::kInputRight;
constexpr uint32_t kShift = platform::kInputShift;
constexpr uint32_t kControl = platform::kInputControl;
constexpr uint32_t kAlt = platform::kInputAlt;
constexpr uint32_t kDoubleClick = platform::kInputDoubleClick;
constexpr uint32_t kButtonMask = kLButton | kMButton | kRButton;
constexpr uint32_t kModifierMask = kShift | kControl | kAlt;

struct CButtonState {
    uint32_t state = 0;
    CButtonState() = default;
    CButtonState(uint32_t s) : state(s) {}  // NOLINT: used like the integer it wraps
    uint32_t operator&(uint32_t bits) const { return state & bits; }
    bool operator==(uint32_t bits) const { return state == bits; }
    bool operator!=(uint32_t bits) const { return state != bits; }
    bool isLeftButton() const { return (state & kLButton) != 0; }
    bool isRightButton() const { return (state & kRButton) != 0; }
    bool isDoubleClick() const { return (state & kDoubleClick) != 0; }
    uint32_t getButtonState() const { return state & kButtonMask; }
    uint32_t getModifierState() const { return state & kModifierMask; }
};

enum CMouseEventResult {
    kMouseEventNotImplemented = 0,
    kMouseEventHandled,
    kMouseEventNotHandled,
    kMouseDownEventHandledButDontNeedMovedOrUpEvents,
};

using VstKeyCode = platform::KeyPress;

enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };

}  // namespace vexal
