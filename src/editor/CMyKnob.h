// The editor's knob: a linear drag (up and right both increase) over 400
// pixels for the whole range, 1000 with Shift — pressing or releasing Shift
// mid-drag keeps the value where it is — the wheel in steps of 0.01 (0.001
// with Shift), Control-click to the default, and 101 filmstrip frames.
#pragma once

#include "gui/CAnimKnob.h"

namespace vexal {

class CMyKnob : public CAnimKnob {
public:
    CMyKnob(const CRect& size, IControlListener* listener, int32_t tag, int32_t subPixmaps,
            CCoord heightOfOneImage, CBitmap* bitmap, const CPoint& offset = {});

    // The bitmap row drawn for the current value.
    int32_t sourceRow() const;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;

private:
    void startRange(const CButtonState& buttons);

    CPoint firstPoint;
    CPoint lastPoint;
    float entryValue = 0;
    float range = 400;
    float coefficient = 0;
    uint32_t rememberedButtons = 0;
    bool dragging = false;
};

}  // namespace vexal
