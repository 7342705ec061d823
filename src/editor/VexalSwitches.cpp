#include "VexalSwitches.h"

#include <cmath>

#include "core/ParameterTable.h"
#include "gui/CDrawContext.h"

namespace vexal {

void drawFilmstripFrame(CDrawContext* context, CBitmap* bitmap, const CRect& size,
                        CCoord frameHeight, int32_t index) {
    if (!bitmap || frameHeight <= 0) return;
    // Whatever the value, only frames the bitmap has.
    const int32_t frames = static_cast<int32_t>(bitmap->getHeight() / frameHeight);
    if (index >= frames) index = frames - 1;
    if (index < 0) index = 0;
    bitmap->draw(context, size, CPoint{0, frameHeight * index});
}

namespace {
constexpr CMouseEventResult kHandled = kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

// --- CVexalButton --------------------------------------------------------------------------

CVexalButton::CVexalButton(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap,
                           bool metering)
    : COnOffButton(size, l, t, bitmap, 0), meteringSwitch(metering) {}

void CVexalButton::setHighlighted(bool on) {
    if (highlighted == on) return;
    highlighted = on;
    setDirty();
}

int32_t CVexalButton::frameIndex() const {
    if (highlighted) return 2;
    return stepIndex(value, 2) == 1 ? 1 : 0;
}

void CVexalButton::draw(CDrawContext* context) {
    drawFilmstripFrame(context, getBackground(), size, heightOfOneImage, frameIndex());
    setDirty(false);
}

CMouseEventResult CVexalButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (meteringSwitch && buttons.isRightButton()) {
        if (EditorActions* editor = editorActionsOf(listener)) editor->saveMeteringPrefs();
        invalid();
        return kHandled;
    }
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = stepValue(stepIndex(value, 2) == 1 ? 0 : 1, 2);
    valueChanged();
    invalid();
    return kHandled;
}

// --- COversamplingButton ---------------------------------------------------------------------

COversamplingButton::COversamplingButton(const CRect& size, IControlListener* l, int32_t t,
                                         CBitmap* bitmap)
    : COnOffButton(size, l, t, bitmap, 0) {
    heightOfOneImage = kFrameHeight;
}

int32_t COversamplingButton::frameIndex() const { return stepIndex(value, 2) == 1 ? 1 : 0; }

void COversamplingButton::draw(CDrawContext* context) {
    drawFilmstripFrame(context, getBackground(), size, kFrameHeight, frameIndex());
    setDirty(false);
}

CMouseEventResult COversamplingButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    value = stepIndex(value, 2) == 0 ? 1.0f : 0.0f;
    valueChanged();
    invalid();
    return kHandled;
}

// --- CModeButton --------------------------------------------------------------------------------

CModeButton::CModeButton(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap)
    : CControl(size, l, t, bitmap) {}

void CModeButton::setType(float v) {
    type = stepIndex(v, 2);
    setDirty();
}

void CModeButton::setScale(float v) {
    scale = stepIndex(v, 3);
    setDirty();
}

void CModeButton::setHighlighted(bool on) {
    if (highlighted == on) return;
    highlighted = on;
    setDirty();
}

int32_t CModeButton::frameIndex() const { return highlighted ? 6 : scale + 3 * type; }

void CModeButton::draw(CDrawContext* context) {
    drawFilmstripFrame(context, getBackground(), size, heightOfOneImage, frameIndex());
    setDirty(false);
}

CMouseEventResult CModeButton::onMouseDown(CPoint& where, const CButtonState& buttons) {
    EditorActions* editor = editorActionsOf(listener);
    if ((!buttons.isLeftButton() && !buttons.isRightButton()) || !editor) return kMouseEventNotHandled;
    if (buttons.isRightButton()) {
        editor->saveMeteringPrefs();
    } else if (where.y < size.top + kHalf) {
        editor->setParameterAutomated(kMeterType, stepValue(0, 2));
    } else if (where.y > size.bottom - kHalf) {
        if (type == 1) {
            scale = (scale + 1) % 3;
            editor->setParameterAutomated(kScale, stepValue(scale, 3));
        }
        editor->setParameterAutomated(kMeterType, stepValue(1, 2));
    }
    invalid();
    return kHandled;
}

// --- the requantizer's stepped switches ----------------------------------------------------------

CQuantizeStepSwitch::CQuantizeStepSwitch(const CRect& size, IControlListener* l, int32_t t,
                                         CBitmap* bitmap, int32_t n)
    : CControl(size, l, t, bitmap), steps(n) {}

void CQuantizeStepSwitch::setEnabled(float v) {
    enabled = stepIndex(v, 2) != 0;
    setDirty();
}

void CQuantizeStepSwitch::setIndex(float v) {
    index = stepIndex(v, steps);
    setDirty();
}

void CQuantizeStepSwitch::draw(CDrawContext* context) {
    drawFilmstripFrame(context, getBackground(), size, heightOfOneImage, frameIndex());
    setDirty(false);
}

CMouseEventResult CQuantizeStepSwitch::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    index = (index + 1) % steps;
    value = stepValue(index, steps);
    valueChanged();
    invalid();
    return kHandled;
}

CBits::CBits(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap)
    : CQuantizeStepSwitch(size, l, t, bitmap, 3) {}

int32_t CBits::frameIndex() const { return 3 * (enabled ? 1 : 0) + index; }

CNoiseShape::CNoiseShape(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap)
    : CQuantizeStepSwitch(size, l, t, bitmap, 4) {}

int32_t CNoiseShape::frameIndex() const { return index + (enabled && index != 0 ? 3 : 0); }

CAutoBlack::CAutoBlack(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap)
    : CQuantizeStepSwitch(size, l, t, bitmap, 2) {}

int32_t CAutoBlack::frameIndex() const {
    if (index == 0) return 0;
    return enabled ? 1 : 2;
}

// --- CCalibButton ----------------------------------------------------------------------------------

CCalibButton::CCalibButton(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap)
    : CControl(size, l, t, bitmap) {
    heightOfOneImage = kFrameHeight;
}

void CCalibButton::tick(uint32_t now) {
    latestTick = now;
    if (stepIndex(value, 4) != 0) setDirty();
}

int32_t CCalibButton::sourceRow() const {
    // Parameter order off, left, l+r uncorrelated, right; image order off, L, R, L+R.
    static constexpr int32_t kColumn[4] = {0, 1, 3, 2};
    const int32_t c = kColumn[stepIndex(value, 4)];
    const bool dark = c != 0 && ((latestTick - clickTick) & 256u) == 0;
    return 19 * c + (dark ? 57 : 0);
}

void CCalibButton::draw(CDrawContext* context) {
    if (CBitmap* bitmap = getBackground()) bitmap->draw(context, size, CPoint{0, static_cast<CCoord>(sourceRow())});
    setDirty(false);
}

CMouseEventResult CCalibButton::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    const int32_t i = stepIndex(value, 4);
    value = stepValue(i == 3 ? 0 : i + 1, 4);
    valueChanged();
    clickTick = latestTick;
    invalid();
    return kHandled;
}

// --- CSpeedSwitch -------------------------------------------------------------------------------------

CSpeedSwitch::CSpeedSwitch(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap)
    : CControl(size, l, t, bitmap) {
    heightOfOneImage = kFrameHeight;
}

int32_t CSpeedSwitch::frameIndex() const { return stepIndex(value, 3); }

void CSpeedSwitch::draw(CDrawContext* context) {
    drawFilmstripFrame(context, getBackground(), size, kFrameHeight, frameIndex());
    setDirty(false);
}

CMouseEventResult CSpeedSwitch::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // The three squares, edges included, in window pixels.
    static constexpr CCoord kLeft[3] = {39, 72, 105};
    int32_t position = -1;
    if (where.y >= 123 && where.y <= 140)
        for (int32_t p = 0; p < 3; ++p)
            if (where.x >= kLeft[p] && where.x <= kLeft[p] + 17) position = p;
    if (position < 0) return kHandled;
    value = stepValue(position, 3);
    valueChanged();
    invalid();
    return kHandled;
}

}  // namespace vexal
