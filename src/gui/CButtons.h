// The toolkit's switches: an on/off button, a kick button (on while pressed)
// and a rocker (−1, 0, +1). Each draws one frame of its bitmap, stacked from
// the top, every frame as high as the control.
#pragma once

#include "CControl.h"

namespace vexal {

class CDrawContext;

// Frame 1 while the value is at the maximum, frame 0 otherwise.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap,
                 int32_t style = 0);
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

protected:
    int32_t style;
};

// The maximum while the left button holds it down, the minimum after;
// the listener hears both.
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, IControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                CBitmap* bitmap, const CPoint& offset = {});
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;

protected:
    // Draws frame `index` of the bitmap into the control.
    void drawFrame(CDrawContext* context, int32_t index);
    CPoint offset;
};

// Horizontal: the left half sends −1, the right half +1, the release 0.
// Frames: 0 for −1, 1 at rest, 2 for +1.
class CRockerSwitch : public CControl {
public:
    CRockerSwitch(const CRect& size, IControlListener* listener, int32_t tag,
                  CCoord heightOfOneImage, CBitmap* bitmap, const CPoint& offset = {});
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;

protected:
    void drawFrame(CDrawContext* context, int32_t index);
    CPoint offset;
};

}  // namespace vexal
