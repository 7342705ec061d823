#include "CMeterGR.h"

#include "MeterMath.h"
#include "core/ParameterTable.h"

namespace vexal {

namespace {
constexpr int32_t kMaxDepth = 145;  // 24 dB, or 12 dB zoomed
constexpr float kFloorDb = -30.0f;
constexpr int32_t kHoldMs = 50;
constexpr float kReturnDbPerSecond = 30.0f;
// Bars relative to the view: x 1 … 15 and 42 … 56, from 3 pixels down.
constexpr CCoord kLeftBarInView = 1;
constexpr CCoord kRightBarInView = 42;
constexpr CCoord kBarWidth = 15;
constexpr CCoord kBarTopInView = 3;
}  // namespace

CMeterGR::CMeterGR(const CRect& size, CBitmap* b, CBitmap* s, IControlListener* l)
    : CControl(size, l, kTag), bar(b), scale(s) {
    if (bar) bar->remember();
    if (scale) scale->remember();
}

CMeterGR::~CMeterGR() {
    if (bar) bar->forget();
    if (scale) scale->forget();
}

void CMeterGR::setLevels(uint32_t now, float gainL, float gainR) {
    tick = now;
    const float gains[2] = {gainL, gainR};
    for (int ch = 0; ch < 2; ++ch) {
        const float g = meter::decibels(gains[ch]);
        // A gain of 0 (−∞ dB) shows the floor; NaN is no measurement at all.
        channels[ch].gainDb = g != g ? 0.0f : g < kFloorDb ? kFloorDb : g;
    }
    // The hold and return advance with every poll; a poll that changes
    // nothing on screen draws nothing.
    advanceBallistics();
    if (!(picture() == drawn)) setDirty();
}

CMeterGR::Picture CMeterGR::picture() const {
    Picture p;
    p.zoom = zoom;
    for (int ch = 0; ch < 2; ++ch) p.depth[ch] = depth(channels[ch]);
    return p;
}

void CMeterGR::setZoom(float hostValue) {
    zoom = stepIndex(hostValue, 2) != 0;
    setDirty();
}

void CMeterGR::reset() {
    for (Channel& c : channels) c.gainDb = c.shownGainDb = 0;
    setDirty();
}

void CMeterGR::advanceBallistics() {
    const int32_t delta = meter::elapsed(tick, lastTick);
    lastTick = tick;
    for (Channel& c : channels) {
        c.holdMs -= delta;
        if (c.holdMs <= 0) {
            c.shownGainDb -= static_cast<float>(c.holdMs) * kReturnDbPerSecond / 1000.0f;
            c.holdMs = 0;
        }
        if (c.shownGainDb > c.gainDb) {
            c.holdMs = kHoldMs;
            c.shownGainDb = c.gainDb;
        }
    }
}

int32_t CMeterGR::depth(const Channel& c) const {
    if (c.shownGainDb > -0.1f) return 0;
    const float k = zoom ? 12.0f : 6.0f;
    // 1 − trunc(gain·k − 0.5), written on the negated value so that the
    // limits apply before the integer conversion.
    return 1 + meter::pixels(-(c.shownGainDb * k - 0.5f), kMaxDepth - 1);
}

void CMeterGR::draw(CDrawContext* context) {
    const CCoord zoomRow = zoom ? size.getHeight() : 0;
    if (scale) scale->draw(context, size, CPoint{0, zoomRow});
    advanceBallistics();
    const CCoord top = size.top + kBarTopInView;
    const CCoord xs[2] = {size.left + kLeftBarInView, size.left + kRightBarInView};
    for (int ch = 0; ch < 2; ++ch) {
        const int32_t d = depth(channels[ch]);
        if (bar && d > 0) bar->draw(context, CRect(xs[ch], top, xs[ch] + kBarWidth, top + d));
    }
    drawn = picture();
    setDirty(false);
}

CMouseEventResult CMeterGR::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

}  // namespace vexal
