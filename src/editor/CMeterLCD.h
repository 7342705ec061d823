// The numeric read-outs under the meters: the highest peak of each channel
// since the last reset (CMeterLCD, with an over colouring above 0 dBFS and
// the K-system offsets), and the deepest gain reduction (CMeterLCDGR). They
// keep their values until reset; a left click asks the listener to reset
// every meter.
#pragma once

#include <cstdint>

#include "CTextPrinter.h"
#include "gui/CControl.h"

namespace vexal {

class CMeterLCD : public CControl {
public:
    static constexpr int32_t kTag = 27;

    // background: the window's image, drawn from the view's own position.
    CMeterLCD(const CRect& size, CBitmap* background, CBitmap* font, CBitmap* redFont, IControlListener* listener);

    void setLevels(float peakL, float peakR);
    void setMode(int32_t mode);
    int32_t getMode() const { return mode; }
    void reset();
    float maxPeakDb(int ch) const { return maxDb[ch != 0]; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

private:
    void drawValue(CDrawContext* context, float peakDb, CCoord cellLeft, CCoord centre);

    CTextPrinter2Color printer;
    float maxDb[2] = {-120, -120};
    int32_t mode = 0;
};

class CMeterLCDGR : public CControl {
public:
    static constexpr int32_t kTag = 27;

    CMeterLCDGR(const CRect& size, CBitmap* background, CBitmap* font, IControlListener* listener);

    void setLevels(float gainL, float gainR);
    void reset();
    float maxReductionDb(int ch) const { return maxDb[ch != 0]; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

private:
    void drawValue(CDrawContext* context, float gainDb, CCoord cellLeft, CCoord centre);

    CTextPrinter printer;
    float maxDb[2] = {0, 0};
};

}  // namespace vexal
