// A view with a value: minimum, maximum, default, tag, and a listener that
// hears of every change the user makes (valueChanged) and of the start and
// end of a gesture (beginEdit/endEdit, which the host sees as automation).
#pragma once

#include <cstdint>

#include "CView.h"

namespace vexal {

class CControl;

class IControlListener {
public:
    virtual ~IControlListener() = default;
    virtual void valueChanged(CControl* control) = 0;
    virtual void controlBeginEdit(CControl*) {}
    virtual void controlEndEdit(CControl*) {}
};

class CControl : public CView {
public:
    CControl(const CRect& size, IControlListener* listener = nullptr, int32_t tag = -1,
             CBitmap* background = nullptr);

    virtual void setValue(float v) { value = v; }
    float getValue() const { return value; }
    void setMin(float v) { vmin = v; }
    float getMin() const { return vmin; }
    void setMax(float v) { vmax = v; }
    float getMax() const { return vmax; }
    void setDefaultValue(float v) { defaultValue = v; }
    float getDefaultValue() const { return defaultValue; }
    void setWheelInc(float v) { wheelInc = v; }
    float getWheelInc() const { return wheelInc; }
    void bounceValue();  // keeps the value within minimum … maximum

    int32_t getTag() const { return tag; }
    void setTag(int32_t t) { tag = t; }
    IControlListener* getListener() const { return listener; }
    void setListener(IControlListener* l) { listener = l; }

    // Tells the listener; a control without one reaches nobody.
    virtual void valueChanged();
    void beginEdit();
    void endEdit();
    bool isEditing() const { return editing > 0; }

    // The default-value gesture: the left button with Control and nothing
    // else. Sets the default (telling the listener when it changed) and
    // answers true when the gesture applied.
    bool checkDefaultValue(const CButtonState& buttons);

    // Frames of a filmstrip: the height of one and their number.
    void setHeightOfOneImage(CCoord h) { heightOfOneImage = h; }
    CCoord getHeightOfOneImage() const { return heightOfOneImage; }

protected:
    IControlListener* listener;
    int32_t tag;
    float value = 0;
    float vmin = 0;
    float vmax = 1;
    float defaultValue = 0.5f;
    float wheelInc = 0.1f;
    CCoord heightOfOneImage = 0;
    int32_t editing = 0;
};

}  // namespace vexal
