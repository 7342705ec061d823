#include "CLevelMeter.h"

#include "MeterMath.h"

namespace vexal {

namespace {
constexpr int32_t kBarWidth = 15;
constexpr int32_t kBarHeight = 360;  // 60 dB at 6 pixels per dB
constexpr float kPixelsPerDb = 6.0f;
constexpr CCoord kBarTopInView = 4;
constexpr float kFloorLevel = 0.000001f;  // −120 dB
constexpr float kPeakCeilingDb = 20.0f;
constexpr int32_t kHoldMs = 50;
constexpr float kFallDbPerSecond = 8.66f;
constexpr int32_t kMarkerHeight = 3;

// dB of a linear level, silence (and NaN) taken as −120 dB.
float levelDb(float x) { return meter::decibels(x > kFloorLevel ? x : kFloorLevel); }

CBitmap* retained(CBitmap* b) {
    if (b) b->remember();
    return b;
}

void release(CBitmap* b) {
    if (b) b->forget();
}
}  // namespace

CLevelMeter::CLevelMeter(const CRect& size, IControlListener* l, const LevelMeterBitmaps& b, int32_t leftBarX,
                         int32_t rightBarX, const CRect& scale)
    : CControl(size, l, kTag),
      litPeak(retained(b.litPeak)),
      unlitPeak(retained(b.unlitPeak)),
      litK(retained(b.litK)),
      unlitK(retained(b.unlitK)),
      scalePeakK12(retained(b.scalePeakK12)),
      scaleK14(retained(b.scaleK14)),
      scaleK20(retained(b.scaleK20)),
      barX{CCoord(leftBarX), CCoord(rightBarX)},
      scaleRect(scale),
      barBottom(size.top + kBarTopInView + kBarHeight) {}

CLevelMeter::~CLevelMeter() {
    for (CBitmap* b : {litPeak, unlitPeak, litK, unlitK, scalePeakK12, scaleK14, scaleK20}) release(b);
}

void CLevelMeter::setLevels(uint32_t now, float peakL, float peakR, float rmsL, float rmsR) {
    tick = now;
    const float peaks[2] = {peakL, peakR};
    const float rms[2] = {rmsL, rmsR};
    for (int ch = 0; ch < 2; ++ch) {
        const float p = levelDb(peaks[ch]);
        channels[ch].peakDb = p < kPeakCeilingDb ? p : kPeakCeilingDb;
        channels[ch].rmsDb = levelDb(rms[ch]);
    }
    // The hold and fall-back advance with every poll; a poll that changes
    // nothing on screen (silence, a steady level) draws nothing.
    advanceBallistics();
    if (!(picture() == drawn)) setDirty();
}

void CLevelMeter::setMode(int32_t m) {
    mode = m;
    setDirty();
}

void CLevelMeter::reset() {
    for (Channel& c : channels) c.peakDb = c.rmsDb = c.shownPeakDb = -122;
    setDirty();
}

void CLevelMeter::advanceBallistics() {
    const int32_t delta = meter::elapsed(tick, lastTick);
    lastTick = tick;
    for (Channel& c : channels) {
        c.holdMs -= delta;
        if (c.holdMs <= 0) {
            // The time past the end of the hold falls too.
            c.shownPeakDb += static_cast<float>(c.holdMs) * kFallDbPerSecond / 1000.0f;
            c.holdMs = 0;
        }
        if (c.shownPeakDb < c.peakDb) {
            c.holdMs = kHoldMs;
            c.shownPeakDb = c.peakDb;
        }
    }
}

CLevelMeter::ModeLook CLevelMeter::look() const {
    switch (mode) {
        case kPeak: return {scalePeakK12, litPeak, unlitPeak, 48.0f, 408, false};
        case kK12: return {scalePeakK12, litK, unlitK, 60.0f, 432, true};
        case kK14: return {scaleK14, litK, unlitK, 60.0f, 420, true};
        default: return {scaleK20, litK, unlitK, 60.0f, 384, true};
    }
}

int32_t CLevelMeter::barHeight(const ModeLook& m, const Channel& c) const {
    const float shown = m.marker ? c.rmsDb : c.shownPeakDb;
    return meter::pixels((shown + m.offsetDb) * kPixelsPerDb + 0.5f, kBarHeight);
}

int32_t CLevelMeter::markerPosition(const Channel& c) const {
    return meter::pixels((c.shownPeakDb + 60.0f) * kPixelsPerDb + 0.5f, kBarHeight);
}

CLevelMeter::Picture CLevelMeter::picture() const {
    Picture p;
    p.mode = mode;
    if (mode < kPeak || mode > kK20) return p;
    const ModeLook m = look();
    for (int ch = 0; ch < 2; ++ch) {
        p.bar[ch] = barHeight(m, channels[ch]);
        p.marker[ch] = m.marker ? markerPosition(channels[ch]) : 0;
    }
    return p;
}

void CLevelMeter::drawChannel(CDrawContext* context, const ModeLook& m, const Channel& c, CCoord x) const {
    const int32_t a = barHeight(m, c);
    const CCoord top = barBottom - kBarHeight;
    if (m.lit) m.lit->draw(context, CRect(x, barBottom - a, x + kBarWidth, barBottom), CPoint{0, CCoord(m.baseRow - a)});
    if (m.unlit)
        m.unlit->draw(context, CRect(x, top, x + kBarWidth, barBottom - a), CPoint{0, CCoord(m.baseRow - kBarHeight)});
    if (!m.marker) return;
    // The held peak as a line in the colour of its level; none at the very bottom.
    const int32_t e = markerPosition(c);
    if (e > 2 && m.lit)
        m.lit->draw(context, CRect(x, barBottom - e, x + kBarWidth, barBottom - e + kMarkerHeight),
                    CPoint{0, CCoord(m.baseRow - e)});
}

void CLevelMeter::draw(CDrawContext* context) {
    advanceBallistics();
    if (mode >= kPeak && mode <= kK20) {
        const ModeLook m = look();
        if (m.scale) m.scale->draw(context, scaleRect);
        drawChannel(context, m, channels[0], barX[0]);
        drawChannel(context, m, channels[1], barX[1]);
    }
    drawn = picture();
    setDirty(false);
}

CMouseEventResult CLevelMeter::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    valueChanged();
    invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMeterIn::CMeterIn(const CRect& size, IControlListener* listener, const LevelMeterBitmaps& bitmaps)
    : CLevelMeter(size, listener, bitmaps, static_cast<int32_t>(size.left) + 3, static_cast<int32_t>(size.left) + 44,
                  CRect(size.left + 17, size.top, size.left + 44, size.top + 367)) {}

CMeterOut::CMeterOut(const CRect& size, IControlListener* listener, const LevelMeterBitmaps& bitmaps)
    : CLevelMeter(size, listener, bitmaps, static_cast<int32_t>(size.left) + 1, static_cast<int32_t>(size.left) + 44,
                  CRect(size.left + 16, size.top, size.left + 43, size.top + 367)) {}

}  // namespace vexal
