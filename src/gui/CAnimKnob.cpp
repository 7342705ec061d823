#include "CAnimKnob.h"

#include <cmath>

#include "CDrawContext.h"

namespace vexal {

namespace {
constexpr CCoord kDragRange = 200;      // pixels for the whole range
constexpr CCoord kFineDragRange = 1000;  // with Shift
}  // namespace

CAnimKnob::CAnimKnob(const CRect& size, IControlListener* l, int32_t t, int32_t n, CCoord frameHeight,
                     CBitmap* bitmap, const CPoint& o)
    : CControl(size, l, t, bitmap), subPixmaps(n > 0 ? n : 1), offset(o) {
    heightOfOneImage = frameHeight;
}

void CAnimKnob::draw(CDrawContext* context) {
    CBitmap* bitmap = getBackground();
    if (bitmap) {
        const float span = vmax - vmin;
        float norm = span > 0 ? (value - vmin) / span : 0;
        if (!(norm >= 0)) norm = 0;  // NaN too
        if (norm > 1) norm = 1;
        const int32_t index = static_cast<int32_t>(norm * static_cast<float>(subPixmaps - 1) + 0.5f);
        bitmap->draw(context, size, CPoint{offset.x, offset.y + heightOfOneImage * index});
    }
    setDirty(false);
}

CMouseEventResult CAnimKnob::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    if (checkDefaultValue(buttons)) return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    dragStart = where;
    dragEntryValue = value;
    dragging = true;
    beginEdit();
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (!dragging || !buttons.isLeftButton()) return kMouseEventHandled;
    const CCoord range = (buttons & kShift) ? kFineDragRange : kDragRange;
    const float old = value;
    value = dragEntryValue + static_cast<float>((dragStart.y - where.y) / range) * (vmax - vmin);
    bounceValue();
    if (value != old) {
        invalid();
        valueChanged();
    }
    return kMouseEventHandled;
}

CMouseEventResult CAnimKnob::onMouseUp(CPoint&, const CButtonState&) {
    if (dragging) {
        dragging = false;
        endEdit();
    }
    return kMouseEventHandled;
}

void CAnimKnob::changeBy(float delta) {
    const float old = value;
    value += delta;
    bounceValue();
    if (value == old) return;
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
}

bool CAnimKnob::onWheel(const CPoint&, float distance, const CButtonState& buttons) {
    changeBy(distance * wheelInc * ((buttons & kShift) ? 0.1f : 1.0f));
    return true;
}

int32_t CAnimKnob::onKeyDown(VstKeyCode& key) {
    const float step = wheelInc * ((key.modifiers & kShift) ? 0.1f : 1.0f);
    switch (key.virtualKey) {
        case platform::kKeyUp:
        case platform::kKeyRight:
            changeBy(step);
            return 1;
        case platform::kKeyDown:
        case platform::kKeyLeft:
            changeBy(-step);
            return 1;
        default:
            return -1;
    }
}

}  // namespace vexal
