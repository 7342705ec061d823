// The gain-reduction meter: two bars that grow downward from the zero line
// over a 24 dB scale, or a 12 dB one when zoomed. A deeper reduction shows at
// once, holds 50 ms, then the bar returns toward 0 dB at 30 dB/s.
#pragma once

#include <cstdint>

#include "gui/CControl.h"

namespace vexal {

class CMeterGR : public CControl {
public:
    static constexpr int32_t kTag = 27;

    CMeterGR(const CRect& size, CBitmap* bar, CBitmap* scale, IControlListener* listener);
    ~CMeterGR() override;

    // Linear gains from the engine's meter read-out (1.0 = no reduction).
    void setLevels(uint32_t tick, float gainL, float gainR);
    void setZoom(float hostValue);   // stepIndex(v, 2) != 0
    void reset();

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    float gainDb(int ch) const { return channels[ch != 0].gainDb; }
    float shownGainDb(int ch) const { return channels[ch != 0].shownGainDb; }
    int32_t holdMs(int ch) const { return channels[ch != 0].holdMs; }
    bool isZoomed() const { return zoom; }

private:
    struct Channel {
        float gainDb = 0;       // ≤ 0 in practice, never below −30
        float shownGainDb = 0;  // with hold and return
        int32_t holdMs = 10;    // hold left, ms
    };

    void advanceBallistics();
    int32_t depth(const Channel& c) const;
    // What the view shows: the scale and the two bar depths.
    struct Picture {
        bool zoom = false;
        int32_t depth[2] = {-1, -1};
        bool operator==(const Picture&) const = default;
    };
    Picture picture() const;

    CBitmap* bar;
    CBitmap* scale;
    Channel channels[2];
    uint32_t tick = 0;
    uint32_t lastTick = 0;
    bool zoom = false;
    Picture drawn;
};

}  // namespace vexal
