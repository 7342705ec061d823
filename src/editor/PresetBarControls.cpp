#include "PresetBarControls.h"

namespace vexal {

// --- CPSKickButton ------------------------------------------------------------------------

CPSKickButton::CPSKickButton(const CRect& size, IControlListener* l, int32_t t, CCoord frameHeight,
                             CBitmap* bitmap, const CPoint& o, bool two)
    : CKickButton(size, l, t, frameHeight, bitmap, o), twoAction(two) {}

CMouseEventResult CPSKickButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    // Swallowed without effect: other buttons, and the first click on a
    // two-action button (it acts on a double click only).
    if (!buttons.isLeftButton() || (twoAction && !buttons.isDoubleClick()))
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    pressed = true;
    value = twoAction && (buttons & kControl) ? 0.5f : 1.0f;
    valueChanged();
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseUp(CPoint&, const CButtonState&) {
    clearPressed();
    return kMouseEventHandled;
}

void CPSKickButton::clearPressed() {
    value = 0;
    pressed = false;
    invalid();
}

CMouseEventResult CPSKickButton::onMouseEntered(CPoint&, const CButtonState&) {
    hovered = true;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSKickButton::onMouseExited(CPoint&, const CButtonState&) {
    hovered = false;
    invalid();
    return kMouseEventHandled;
}

void CPSKickButton::draw(CDrawContext* context) {
    drawFrame(context, frameIndex());
    setDirty(false);
}

// --- CSaveLoadButton ----------------------------------------------------------------------

CSaveLoadButton::CSaveLoadButton(const CRect& size, IControlListener* l, int32_t t, CCoord frameHeight,
                                 CBitmap* bitmap, const CPoint& o)
    : CKickButton(size, l, t, frameHeight, bitmap, o) {}

CMouseEventResult CSaveLoadButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!(buttons & (kLButton | kRButton)) || !listener) return kMouseEventNotHandled;
    // Only the right button alone asks for the byte-reversed variant; with
    // Shift (or any other key or button) it is the normal one. The
    // double-click mark is neither, so a quick second right click counts too.
    const bool rightAlone = buttons.getButtonState() == kRButton && buttons.getModifierState() == 0;
    value = rightAlone ? 0.5f : 1.0f;
    valueChanged();
    value = 0;
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult CSaveLoadButton::onMouseEntered(CPoint&, const CButtonState&) {
    hovered = true;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CSaveLoadButton::onMouseExited(CPoint&, const CButtonState&) {
    hovered = false;
    invalid();
    return kMouseEventHandled;
}

void CSaveLoadButton::draw(CDrawContext* context) {
    drawFrame(context, frameIndex());
    setDirty(false);
}

// --- CPSRockerSwitch ----------------------------------------------------------------------

CPSRockerSwitch::CPSRockerSwitch(const CRect& size, IControlListener* l, int32_t t, CCoord frameHeight,
                                 CBitmap* bitmap, const CPoint& o)
    : CRockerSwitch(size, l, t, frameHeight, bitmap, o) {}

int32_t CPSRockerSwitch::sideOf(const CPoint& where) const {
    return (size.left + size.right) / 2 > where.x ? -1 : 1;
}

int32_t CPSRockerSwitch::frameIndex() const {
    if (value == -1.0f) return 3;
    if (value == 1.0f) return 4;
    return hoverSide < 0 ? 1 : hoverSide > 0 ? 2 : 0;
}

CMouseEventResult CPSRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = static_cast<float>(sideOf(where));
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseUp(CPoint&, const CButtonState&) {
    value = 0;
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (buttons.isLeftButton()) return kMouseEventHandled;
    hoverSide = sideOf(where);
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseEntered(CPoint& where, const CButtonState&) {
    hoverSide = sideOf(where);
    invalid();
    return kMouseEventHandled;
}

CMouseEventResult CPSRockerSwitch::onMouseExited(CPoint&, const CButtonState&) {
    hoverSide = 0;
    invalid();
    return kMouseEventHandled;
}

void CPSRockerSwitch::draw(CDrawContext* context) {
    drawFrame(context, frameIndex());
    setDirty(false);
}

}  // namespace vexal
