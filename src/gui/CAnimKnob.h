// A knob drawn from a filmstrip of positions. Vertical drag (Shift: finer),
// wheel and arrow keys by the wheel increment, Control-click to the default.
#pragma once

#include "CControl.h"

namespace vexal {

class CAnimKnob : public CControl {
public:
    CAnimKnob(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
              CCoord heightOfOneImage, CBitmap* bitmap, const CPoint& offset = {});

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;
    bool wantsFocus() const override { return true; }

    int32_t getNumSubPixmaps() const { return subPixmaps; }

protected:
    // Sets the value from a user gesture: limited, redrawn, told.
    void changeBy(float delta);

    int32_t subPixmaps;
    CPoint offset;

private:
    CPoint dragStart;
    float dragEntryValue = 0;
    bool dragging = false;
};

}  // namespace vexal
