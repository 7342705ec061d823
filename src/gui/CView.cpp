#include "CView.h"

#include "CDrawContext.h"
#include "CFrame.h"

namespace vexal {

CView::CView(const CRect& r) : size(r) {}

CView::~CView() = default;

void CView::draw(CDrawContext* context) {
    if (background) background->draw(context, size, backOffset);
    setDirty(false);
}

CMouseEventResult CView::onMouseDown(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseMoved(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseEntered(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
CMouseEventResult CView::onMouseExited(CPoint&, const CButtonState&) { return kMouseEventNotImplemented; }
bool CView::onWheel(const CPoint&, float, const CButtonState&) { return false; }
int32_t CView::onKeyDown(VstKeyCode&) { return -1; }

void CView::setViewSize(const CRect& rect) {
    if (frame) frame->invalidRect(size);
    size = rect;
    if (frame) frame->invalidRect(size);
    setDirty();
}

void CView::setBackground(CBitmap* bitmap) {
    background = SharedPointer<CBitmap>(bitmap, false);
    setDirty();
}

void CView::setVisible(bool v) {
    if (visible == v) return;
    visible = v;
    if (frame) frame->invalidRect(size);
}

}  // namespace vexal
