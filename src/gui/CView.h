// A rectangle of the window that draws itself and may take mouse, wheel and
// key events. Views live in the frame in creation order; later views lie
// above earlier ones. The dirty flag may be set from any thread; everything
// else happens on the thread that drives the editor.
#pragma once

#include <atomic>
#include <cstdint>

#include "CBaseObject.h"
#include "CBitmap.h"
#include "GuiTypes.h"

namespace vexal {

class CDrawContext;
class CFrame;

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);
    ~CView() override;

    // Draws the whole view (clipped by the frame to what needs drawing) and
    // clears the dirty flag. The default draws the background bitmap.
    virtual void draw(CDrawContext* context);

    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseEntered(CPoint& where, const CButtonState& buttons);
    virtual CMouseEventResult onMouseExited(CPoint& where, const CButtonState& buttons);
    // distance: +1 per notch up. True when the view used it.
    virtual bool onWheel(const CPoint& where, float distance, const CButtonState& buttons);
    // 1 when the key was used, −1 when not.
    virtual int32_t onKeyDown(VstKeyCode& key);

    // Keyboard focus, given by the frame.
    virtual void takeFocus() {}
    virtual void looseFocus() {}
    // Views that take keys after a click on them (knobs, text fields).
    virtual bool wantsFocus() const { return false; }

    // Redrawn at the frame's next draw.
    void setDirty(bool value = true) { dirty.store(value, std::memory_order_relaxed); }
    bool isDirty() const { return dirty.load(std::memory_order_relaxed); }
    void invalid() { setDirty(true); }

    const CRect& getViewSize() const { return size; }
    // The old and the new area are drawn again.
    virtual void setViewSize(const CRect& rect);
    bool hitTest(const CPoint& where) const { return size.pointInside(where); }

    void setBackground(CBitmap* bitmap);
    CBitmap* getBackground() const { return background.get(); }
    void setBackOffset(const CPoint& offset) { backOffset = offset; }
    const CPoint& getBackOffset() const { return backOffset; }

    void setVisible(bool v);
    bool isVisible() const { return visible; }
    void setMouseEnabled(bool v) { mouseEnabled = v; }
    bool getMouseEnabled() const { return mouseEnabled; }

    CFrame* getFrame() const { return frame; }
    // Called by the frame when the view is added or removed.
    virtual void attached(CFrame* parent) { frame = parent; }
    virtual void removed() { frame = nullptr; }

protected:
    CRect size;
    CFrame* frame = nullptr;
    SharedPointer<CBitmap> background;
    CPoint backOffset;

private:
    std::atomic<bool> dirty{true};
    bool visible = true;
    bool mouseEnabled = true;
};

}  // namespace vexal
