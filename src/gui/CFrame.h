// The window's content: the background, the views in creation order, one
// overlay view above them all, the back buffer they draw into and, when the
// window is on screen, the native window the buffer is presented to.
//
// Mouse: hit-tested top-most first; a view that handles a press keeps the
// mouse until the release; enter/exit follow the pointer; while an overlay
// is set it gets every mouse event. Keys go to the focused view.
// Drawing: views marked dirty (from any thread) and areas invalidated on the
// UI thread are drawn together at drawDirty(), then presented.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "CDrawContext.h"
#include "CTimer.h"
#include "CView.h"
#include "platform/ChildProcess.h"
#include "platform/NativeWindow.h"

typedef struct _cairo_surface cairo_surface_t;

namespace vexal {

class AEffGUIEditor;
class CMessageBox;
class CNewFileSelector;

class CFrame : public CView, private platform::WindowEvents {
public:
    static constexpr int kMaxViews = 96;
    static constexpr int kMaxTimers = 4;
    static constexpr int kMaxSelectors = 2;
    // The period of the window system's own timer, where it has one.
    static constexpr uint32_t kTimerPeriodMs = 30;

    CFrame(const CRect& size, AEffGUIEditor* editor);
    ~CFrame() override;

    // Puts the frame on screen as a child of the host's window; false when
    // there is no window system or the window cannot be made. Where the
    // window system has a timer of its own, it calls `tick(context)` every
    // kTimerPeriodMs on the window's thread while the window is open.
    bool open(void* parentWindow, void (*tick)(void* context) = nullptr, void* context = nullptr);
    bool isOnScreen() const { return native != nullptr; }
    // Whether drawing can be seen: false while the window is hidden or covered.
    bool isShowing() const { return !native || native->isShowing(); }
    // Takes the window off the screen now; the frame may live on a little
    // (a pump that holds it), showing nothing.
    void dismiss();
    AEffGUIEditor* getEditor() const { return editor; }

    // Takes over the caller's reference.
    bool addView(CView* view);
    int32_t getNbViews() const { return static_cast<int32_t>(views.size()); }
    CView* getView(int32_t index) const;
    void removeAll();
    // The top-most visible, mouse-enabled view under the point.
    CView* getViewAt(const CPoint& where) const;

    void invalidRect(const CRect& rect);
    // Draws what is dirty or invalid and presents it; answers the number of
    // areas drawn.
    int drawDirty();
    // Draws an area of the window: background, views, overlay.
    virtual void drawRect(CDrawContext* context, const CRect& update);
    cairo_surface_t* getBackBuffer() const { return backBuffer; }
    CDrawContext* getDrawContext() const { return context.get(); }

    // Work done from the editor's pump.
    bool pumpNative();  // false once the native window is gone
    void fireTimers(uint32_t now);
    void pollSelectors();
    virtual void idle() {}

    bool addTimer(CTimer* timer);
    void removeTimer(CTimer* timer);

    // --- mouse (window pixels) --------------------------------------------------
    virtual CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    virtual CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    virtual CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    virtual bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
    void onMouseLeftWindow();
    CView* getMouseDownView() const { return mouseDownView; }

    // --- keys ---------------------------------------------------------------------
    enum class KeySource { window, host };
    // A key typed once but delivered both by the window system and by the host
    // reaches the views once. Keys from the host go only to a focused text
    // field; the answer is 1 when a view used the key.
    int32_t onKeyDown(const VstKeyCode& key, KeySource source);
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    // A focused text field asks for the keyboard while it edits.
    void setTextFocus(bool active);
    bool hasTextFocus() const { return textFocus; }

    // --- overlay ------------------------------------------------------------------
    // One view above everything that takes every mouse event while set
    // (remembered); clearing it redraws the whole window.
    void setOverlayView(CView* view);
    CView* getOverlayView() const { return overlayView; }

    // A message in the system's message box where the window system has one,
    // else drawn inside the window until the next click or Enter/Escape.
    void showMessage(const char* text, const char* caption = "");
    bool isShowingMessage() const { return messageBox != nullptr; }

    // Selectors run until answered; the frame polls them and ends any still
    // open when it closes.
    bool addSelector(CNewFileSelector* selector);
    void removeSelector(CNewFileSelector* selector);

    // A native window's request that it be drawn again.
    void redrawAll();

private:
    // platform::WindowEvents
    void mouseDown(int32_t x, int32_t y, uint32_t buttons) override;
    void mouseUp(int32_t x, int32_t y, uint32_t buttons) override;
    void mouseMoved(int32_t x, int32_t y, uint32_t buttons) override;
    void mouseLeft() override;
    void wheel(int32_t x, int32_t y, float distance, uint32_t buttons) override;
    bool keyDown(const platform::KeyPress& key) override;
    void exposed(const platform::PixelRect& area) override;
    void shown() override;

    void updateHover(CPoint where, const CButtonState& buttons);
    void present(const CRect& area);
    bool isDuplicateKey(const VstKeyCode& key, KeySource source);
    void dismissMessage();

    AEffGUIEditor* editor;
    std::unique_ptr<platform::NativeWindow> native;
    cairo_surface_t* backBuffer = nullptr;
    std::unique_ptr<CDrawContext> context;

    std::vector<CView*> views;
    CView* mouseDownView = nullptr;
    CView* mouseOverView = nullptr;
    CView* focusView = nullptr;
    CView* overlayView = nullptr;
    CMessageBox* messageBox = nullptr;
    bool textFocus = false;

    static constexpr int kMaxAreas = 16;
    CRect areas[kMaxAreas];
    int areaCount = 0;

    CTimer* timers[kMaxTimers] = {};
    CNewFileSelector* selectors[kMaxSelectors] = {};

    struct RecentKey {
        uint32_t character = 0;
        int32_t virtualKey = 0;
        KeySource source = KeySource::window;
        uint32_t tick = 0;
        bool live = false;
    };
    static constexpr int kRecentKeys = 8;
    RecentKey recentKeys[kRecentKeys];
    int nextRecentKey = 0;
};

}  // namespace vexal
