// The preset bar's own buttons: kick buttons that show hover and press in
// three images, load/save buttons that tell a right click (value 0.5) from a
// left one, and the previous/next rocker with a hover image per half.
#pragma once

#include <cstdint>

#include "gui/CButtons.h"

namespace vexal {

// Images: 0 at rest, 1 hovered, 2 pressed. A two-action button reacts only
// to the second click of a double click: 1.0, or 0.5 with Control held.
class CPSKickButton : public CKickButton {
public:
    CPSKickButton(const CRect& size, IControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                  CBitmap* bitmap, const CPoint& offset = {}, bool twoAction = false);

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;

    // The image drawn now.
    int32_t frameIndex() const { return pressed ? 2 : hovered ? 1 : 0; }
    bool isPressed() const { return pressed; }
    bool isHovered() const { return hovered; }
    bool isTwoAction() const { return twoAction; }
    // For an action that takes the mouse release away (a message, another program).
    void clearPressed();

private:
    bool hovered = false;
    bool pressed = false;
    bool twoAction;
};

// The value is 0.5 for a plain right click, 1.0 otherwise, and falls back to 0
// before the press is over. Images: 0 at rest, 1 hovered, 2 while the value is set.
class CSaveLoadButton : public CKickButton {
public:
    CSaveLoadButton(const CRect& size, IControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                    CBitmap* bitmap, const CPoint& offset = {});

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;

    int32_t frameIndex() const { return value != 0 ? 2 : hovered ? 1 : 0; }

private:
    bool hovered = false;
};

// −1 for a press left of the middle, +1 otherwise; the release is not told.
// Images: 3 for −1, 4 for +1; at rest 1 or 2 for the hovered half, 0 otherwise.
class CPSRockerSwitch : public CRockerSwitch {
public:
    CPSRockerSwitch(const CRect& size, IControlListener* listener, int32_t tag, CCoord heightOfOneImage,
                    CBitmap* bitmap, const CPoint& offset = {});

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;

    int32_t frameIndex() const;
    int32_t getHoverSide() const { return hoverSide; }

private:
    int32_t sideOf(const CPoint& where) const;

    int32_t hoverSide = 0;
};

}  // namespace vexal
