// The input and output level meters: two bars over a scale. In peak mode the
// bars show the peak with a 50 ms hold and a fall-back of 8.66 dB/s; in the
// K-system modes (K-12, K-14, K-20) they show the RMS level with a 3-pixel
// marker at the held peak. The bars are portions of two gradient images (lit
// and unlit) chosen so that each colour zone stays at a fixed level of the
// selected scale.
#pragma once

#include <cstdint>

#include "gui/CControl.h"

namespace vexal {

struct LevelMeterBitmaps { CBitmap* litPeak; CBitmap* unlitPeak; CBitmap* litK; CBitmap* unlitK; CBitmap* scalePeakK12; CBitmap* scaleK14; CBitmap* scaleK20; };

class CLevelMeter : public CControl {  // tag 27; the shared behaviour of CMeterIn and CMeterOut
public:
    static constexpr int32_t kTag = 27;
    enum Mode : int32_t { kPeak = 0, kK12, kK14, kK20 };

    ~CLevelMeter() override;

    // Linear levels from the engine's meter read-out, at the tick of the poll.
    void setLevels(uint32_t tick, float peakL, float peakR, float rmsL, float rmsR);
    void setMode(int32_t mode);
    int32_t getMode() const { return mode; }
    void reset();

    // Advances the hold and fall-back (they move only when the meter is drawn).
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

    float peakDb(int ch) const { return channels[ch != 0].peakDb; }
    float rmsDb(int ch) const { return channels[ch != 0].rmsDb; }
    float shownPeakDb(int ch) const { return channels[ch != 0].shownPeakDb; }
    int32_t holdMs(int ch) const { return channels[ch != 0].holdMs; }

protected:
    // Bar x positions and the scale's rectangle in window pixels; the bars
    // run from 4 pixels below the top of the view, 360 pixels down.
    CLevelMeter(const CRect& size, IControlListener* listener, const LevelMeterBitmaps& bitmaps, int32_t leftBarX, int32_t rightBarX, const CRect& scaleRect);

private:
    struct Channel {
        float peakDb = -122;
        float rmsDb = -122;
        float shownPeakDb = -122;  // with hold and fall-back
        int32_t holdMs = 50;       // hold left, ms
    };
    // What a mode shows: scale, images, bar offset O (dB) and base row B.
    struct ModeLook {
        CBitmap* scale;
        CBitmap* lit;
        CBitmap* unlit;
        float offsetDb;
        int32_t baseRow;
        bool marker;
    };

    // What the view shows: the mode, bar heights and marker positions.
    struct Picture {
        int32_t mode = -1;
        int32_t bar[2] = {-1, -1};
        int32_t marker[2] = {-1, -1};
        bool operator==(const Picture&) const = default;
    };

    void advanceBallistics();
    ModeLook look() const;
    int32_t barHeight(const ModeLook& m, const Channel& c) const;
    int32_t markerPosition(const Channel& c) const;
    Picture picture() const;
    void drawChannel(CDrawContext* context, const ModeLook& m, const Channel& c, CCoord x) const;

    CBitmap* litPeak;
    CBitmap* unlitPeak;
    CBitmap* litK;
    CBitmap* unlitK;
    CBitmap* scalePeakK12;
    CBitmap* scaleK14;
    CBitmap* scaleK20;
    CCoord barX[2];
    CRect scaleRect;
    CCoord barBottom;
    Channel channels[2];
    uint32_t tick = 0;
    uint32_t lastTick = 0;
    int32_t mode = kPeak;
    Picture drawn;
};

class CMeterIn : public CLevelMeter { public: CMeterIn(const CRect& size, IControlListener* listener, const LevelMeterBitmaps& bitmaps); };   // geometry of the input meter
class CMeterOut : public CLevelMeter { public: CMeterOut(const CRect& size, IControlListener* listener, const LevelMeterBitmaps& bitmaps); };

}  // namespace vexal
