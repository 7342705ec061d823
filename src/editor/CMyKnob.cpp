#include "CMyKnob.h"

#include <cmath>

#include "gui/CDrawContext.h"

namespace vexal {

CMyKnob::CMyKnob(const CRect& size, IControlListener* l, int32_t t, int32_t n, CCoord frameHeight,
                 CBitmap* bitmap, const CPoint& o)
    : CAnimKnob(size, l, t, n, frameHeight, bitmap, o) {}

int32_t CMyKnob::sourceRow() const {
    const int32_t h = static_cast<int32_t>(heightOfOneImage);
    if (!(value >= 0) || h <= 0) return 0;  // negative or NaN: the first frame
    // A host may send more than 1: the last frame is as far as it goes.
    const float v = value > 1.0f ? 1.0f : value;
    const int32_t total = static_cast<int32_t>(100.0f * static_cast<float>(h));
    const int32_t p = static_cast<int32_t>(static_cast<float>(total) * v);
    return h * (p / h);
}

void CMyKnob::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getBackground())
        bitmap->draw(context, size, CPoint{offset.x, offset.y + sourceRow()});
    setDirty(false);
}

void CMyKnob::startRange(const CButtonState& buttons) {
    range = (buttons & kShift) ? 1000.0f : 400.0f;
    coefficient = (vmax - vmin) / range;
    rememberedButtons = buttons.state;
}

CMouseEventResult CMyKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    firstPoint = lastPoint = where;
    entryValue = value;
    startRange(buttons);
    dragging = true;
    beginEdit();
    return onMouseMoved(where, buttons);
}

CMouseEventResult CMyKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!dragging || !buttons.isLeftButton() || where == lastPoint) return kMouseEventHandled;
    lastPoint = where;
    const float d = static_cast<float>(firstPoint.y - where.y) + static_cast<float>(where.x - firstPoint.x);
    if (buttons.state != rememberedButtons) {
        // Shift changed mid-drag: the value carries on from where it is.
        const float oldCoefficient = coefficient;
        startRange(buttons);
        entryValue += (oldCoefficient - coefficient) * d;
    }
    value = d * coefficient + entryValue;
    bounceValue();
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CMyKnob::onMouseUp(CPoint&, const CButtonState&) {
    if (dragging) {
        dragging = false;
        endEdit();
    }
    return kMouseEventHandled;
}

bool CMyKnob::onWheel(const CPoint&, float distance, const CButtonState& buttons) {
    const float old = value;
    value += distance * ((buttons & kShift) ? 0.001f : 0.01f);
    bounceValue();
    if (value != old && listener) {
        invalid();
        beginEdit();
        valueChanged();
        endEdit();
    }
    return true;
}

}  // namespace vexal
