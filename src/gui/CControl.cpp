#include "CControl.h"

namespace vexal {

CControl::CControl(const CRect& size, IControlListener* l, int32_t t, CBitmap* bitmap)
    : CView(size), listener(l), tag(t) {
    if (bitmap) setBackground(bitmap);
    heightOfOneImage = size.getHeight();
}

void CControl::bounceValue() {
    if (value > vmax) value = vmax;
    if (value < vmin) value = vmin;
}

void CControl::valueChanged() {
    if (listener) listener->valueChanged(this);
}

void CControl::beginEdit() {
    if (editing++ == 0 && listener) listener->controlBeginEdit(this);
}

void CControl::endEdit() {
    if (editing == 0) return;
    if (--editing == 0 && listener) listener->controlEndEdit(this);
}

bool CControl::checkDefaultValue(const CButtonState& buttons) {
    if (buttons.state != (kLButton | kControl)) return false;
    if (value != defaultValue) {
        beginEdit();
        value = defaultValue;
        invalid();
        valueChanged();
        endEdit();
    }
    return true;
}

}  // namespace vexal
