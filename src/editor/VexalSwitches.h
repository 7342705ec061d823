// The editor's switches: each shows one frame of its filmstrip (frames
// stacked from the top, each as high as the control unless noted) chosen
// from its value or state, and answers a left click by writing the centre
// value of its next step and telling the editor.
#pragma once

#include <cstdint>

#include "EditorActions.h"
#include "gui/CButtons.h"

namespace vexal {

// An on/off switch. A metering switch answers a right click by storing the
// metering set-up, and shows a third, highlight frame meanwhile.
class CVexalButton : public COnOffButton {
public:
    CVexalButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap,
                 bool isMeteringSwitch);
    void setHighlighted(bool on);
    bool isHighlighted() const { return highlighted; }
    bool isMeteringSwitch() const { return meteringSwitch; }
    int32_t frameIndex() const;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

private:
    bool meteringSwitch;
    bool highlighted = false;
};

// Oversampling: writes 0.0 or 1.0, flipping what it shows.
class COversamplingButton : public COnOffButton {
public:
    static constexpr CCoord kFrameHeight = 19;
    COversamplingButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap);
    int32_t frameIndex() const;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
};

// Meter type and K scale: the upper half selects peak metering, the lower
// half K-system metering and, when already there, the next K scale. It sets
// both parameters itself and shows what the effect echoes back.
class CModeButton : public CControl {
public:
    static constexpr CCoord kHalf = 19;
    CModeButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap);
    void setType(float hostValue);
    void setScale(float hostValue);
    void setHighlighted(bool on);
    int32_t getType() const { return type; }
    int32_t getScale() const { return scale; }
    bool isHighlighted() const { return highlighted; }
    int32_t frameIndex() const;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

private:
    int32_t type = 0;   // 0 peak, 1 K-system
    int32_t scale = 1;  // 0 K-12, 1 K-14, 2 K-20
    bool highlighted = false;
};

// A stepped switch of the requantizer: cycles through its steps, lit while
// requantizing is on and dim otherwise (it works while dim too).
class CQuantizeStepSwitch : public CControl {
public:
    void setEnabled(float quantizeHostValue);
    void setIndex(float hostValue);
    bool isEnabled() const { return enabled; }
    int32_t getIndex() const { return index; }
    virtual int32_t frameIndex() const = 0;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

protected:
    CQuantizeStepSwitch(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap,
                        int32_t steps);
    int32_t steps;
    bool enabled = false;
    int32_t index = 0;
};

// Bits: 8, 16, 24.
class CBits : public CQuantizeStepSwitch {
public:
    CBits(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap);
    int32_t frameIndex() const override;
};

// NoiseShape: off, A, B, C.
class CNoiseShape : public CQuantizeStepSwitch {
public:
    CNoiseShape(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap);
    int32_t frameIndex() const override;
};

// Autoblack: off, on (lit), on (dim).
class CAutoBlack : public CQuantizeStepSwitch {
public:
    CAutoBlack(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap);
    int32_t frameIndex() const override;
    void setState(float hostValue) { setIndex(hostValue); }
    int32_t getState() const { return index; }
};

// Calibration: off → left → left+right uncorrelated → right → off; an
// active signal blinks 256 ms dark, 256 ms bright, starting dark at the click.
class CCalibButton : public CControl {
public:
    static constexpr CCoord kFrameHeight = 19;
    CCalibButton(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap);
    void tick(uint32_t now);
    // The bitmap row drawn now.
    int32_t sourceRow() const;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;

private:
    uint32_t latestTick = 0;
    uint32_t clickTick = 0;
};

// TransShape: three squares A, B, C.
class CSpeedSwitch : public CControl {
public:
    static constexpr CCoord kFrameHeight = 25;
    CSpeedSwitch(const CRect& size, IControlListener* listener, int32_t tag, CBitmap* bitmap);
    int32_t frameIndex() const;
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
};

// Draws frame `index` of a filmstrip whose frames are `frameHeight` high.
void drawFilmstripFrame(CDrawContext* context, CBitmap* bitmap, const CRect& size,
                        CCoord frameHeight, int32_t index);

}  // namespace vexal
