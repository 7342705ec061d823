#include "CButtons.h"

#include "CDrawContext.h"

namespace vexal {

namespace {
void drawFilmstripFrame(const CControl& c, CBitmap* bitmap, CDrawContext* context, CCoord frameHeight,
                        const CPoint& offset, int32_t index) {
    if (!bitmap) return;
    bitmap->draw(context, c.getViewSize(), CPoint{offset.x, offset.y + frameHeight * index});
}
}  // namespace

// --- COnOffButton ---------------------------------------------------------------------

COnOffButton::COnOffButton(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap,
                           int32_t s)
    : CControl(size, l, t, bitmap), style(s) {}

void COnOffButton::draw(CDrawContext* context) {
    drawFilmstripFrame(*this, getBackground(), context, heightOfOneImage, {}, value == vmax ? 1 : 0);
    setDirty(false);
}

CMouseEventResult COnOffButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = value == vmax ? vmin : vmax;
    invalid();
    beginEdit();
    valueChanged();
    endEdit();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

// --- CKickButton ----------------------------------------------------------------------

CKickButton::CKickButton(const CRect& size, IControlListener* l, int32_t t, CCoord frameHeight,
                         CBitmap* bitmap, const CPoint& o)
    : CControl(size, l, t, bitmap), offset(o) {
    heightOfOneImage = frameHeight;
    value = vmin;
}

void CKickButton::drawFrame(CDrawContext* context, int32_t index) {
    drawFilmstripFrame(*this, getBackground(), context, heightOfOneImage, offset, index);
}

void CKickButton::draw(CDrawContext* context) {
    drawFrame(context, value == vmax ? 1 : 0);
    setDirty(false);
}

CMouseEventResult CKickButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    beginEdit();
    value = vmax;
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseMoved(CPoint&, const CButtonState&) {
    return kMouseEventHandled;
}

CMouseEventResult CKickButton::onMouseUp(CPoint&, const CButtonState&) {
    if (value != vmin) {
        value = vmin;
        invalid();
        valueChanged();
    }
    endEdit();
    return kMouseEventHandled;
}

// --- CRockerSwitch --------------------------------------------------------------------

CRockerSwitch::CRockerSwitch(const CRect& size, IControlListener* l, int32_t t, CCoord frameHeight,
                             CBitmap* bitmap, const CPoint& o)
    : CControl(size, l, t, bitmap), offset(o) {
    heightOfOneImage = frameHeight;
    vmin = -1;
    vmax = 1;
    value = 0;
}

void CRockerSwitch::drawFrame(CDrawContext* context, int32_t index) {
    drawFilmstripFrame(*this, getBackground(), context, heightOfOneImage, offset, index);
}

void CRockerSwitch::draw(CDrawContext* context) {
    drawFrame(context, value < 0 ? 0 : value > 0 ? 2 : 1);
    setDirty(false);
}

CMouseEventResult CRockerSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = where.x < (size.left + size.right) / 2 ? -1.0f : 1.0f;
    beginEdit();
    invalid();
    valueChanged();
    return kMouseEventHandled;
}

CMouseEventResult CRockerSwitch::onMouseUp(CPoint&, const CButtonState&) {
    value = 0;
    invalid();
    valueChanged();
    endEdit();
    return kMouseEventHandled;
}

}  // namespace vexal
