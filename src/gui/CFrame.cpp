#include "CFrame.h"

#include <cairo.h>

#include <algorithm>

#include "CMessageBox.h"
#include "CNewFileSelector.h"
#include "GuiClock.h"

namespace vexal {

namespace {
// Two deliveries of one key press (window system and host) arrive within a
// few idle periods of each other.
constexpr uint32_t kKeyPairingMs = 500;
}  // namespace

CFrame::CFrame(const CRect& r, AEffGUIEditor* e) : CView(r), editor(e) {
    backBuffer = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(r.getWidth()),
                                            static_cast<int>(r.getHeight()));
    context = std::make_unique<CDrawContext>(backBuffer);
    views.reserve(kMaxViews);
    frame = this;
}

CFrame::~CFrame() {
    for (CNewFileSelector*& s : selectors)
        if (s) {
            s->abandon();
            s = nullptr;
        }
    dismissMessage();
    setOverlayView(nullptr);
    removeAll();
    native.reset();
    context.reset();
    cairo_surface_destroy(backBuffer);
}

bool CFrame::open(void* parentWindow, void (*tick)(void* context), void* context) {
    platform::WindowSystem* system = platform::windowSystem();
    if (!system) return false;
    native = system->openWindow(parentWindow, static_cast<int32_t>(size.getWidth()),
                                static_cast<int32_t>(size.getHeight()));
    if (!native) return false;
    if (tick) native->setTimer(kTimerPeriodMs, tick, context);
    redrawAll();
    return true;
}

void CFrame::dismiss() {
    if (native) native->dismiss();
    textFocus = false;
}

bool CFrame::addView(CView* view) {
    if (!view) return false;
    if (views.size() >= static_cast<size_t>(kMaxViews)) {
        view->forget();
        return false;
    }
    views.push_back(view);
    view->attached(this);
    invalidRect(view->getViewSize());
    return true;
}

CView* CFrame::getView(int32_t index) const {
    return index >= 0 && index < getNbViews() ? views[static_cast<size_t>(index)] : nullptr;
}

void CFrame::removeAll() {
    if (focusView) setFocusView(nullptr);
    mouseDownView = mouseOverView = nullptr;
    for (CView* v : views) {
        v->removed();
        v->forget();
    }
    views.clear();
}

CView* CFrame::getViewAt(const CPoint& where) const {
    for (auto it = views.rbegin(); it != views.rend(); ++it) {
        CView* v = *it;
        if (v->isVisible() && v->getMouseEnabled() && v->hitTest(where)) return v;
    }
    return nullptr;
}

// --- drawing -----------------------------------------------------------------------

void CFrame::invalidRect(const CRect& rect) {
    CRect r = rect;
    r.bound(size);
    if (r.isEmpty()) return;
    for (int i = 0; i < areaCount; ++i)
        if (areas[i].rectOverlap(r)) {
            areas[i].unite(r);
            return;
        }
    if (areaCount < kMaxAreas) {
        areas[areaCount++] = r;
        return;
    }
    // Too many separate areas: one that holds them all.
    areas[0].unite(r);
}

void CFrame::redrawAll() { setDirty(true); }

int CFrame::drawDirty() {
    // A context cairo has put into an error state draws nothing: it is
    // replaced and the whole window drawn again.
    if (context->recover()) setDirty(true);
    if (isDirty()) {
        setDirty(false);
        areaCount = 0;
        invalidRect(size);
    }
    for (CView* v : views)
        if (v->isDirty()) invalidRect(v->getViewSize());
    if (overlayView && overlayView->isDirty()) invalidRect(overlayView->getViewSize());
    const int drawn = areaCount;
    // Drawing may mark views dirty again (a blinking switch); those wait for the next round.
    CRect pending[kMaxAreas];
    std::copy(areas, areas + areaCount, pending);
    areaCount = 0;
    for (int i = 0; i < drawn; ++i) {
        CRect r = pending[i];
        r.left = static_cast<int>(r.left);
        r.top = static_cast<int>(r.top);
        r.right = static_cast<int>(r.right + 0.999);
        r.bottom = static_cast<int>(r.bottom + 0.999);
        context->setClipRect(r);
        drawRect(context.get(), r);
        context->resetClipRect();
    }
    if (context->recover()) redrawAll();  // this round's picture may be incomplete
    cairo_surface_flush(backBuffer);
    for (int i = 0; i < drawn; ++i) present(pending[i]);
    return drawn;
}

void CFrame::drawRect(CDrawContext* c, const CRect& update) {
    if (background) background->draw(c, update, CPoint{update.left, update.top});
    for (CView* v : views)
        if (v->isVisible() && v->getViewSize().rectOverlap(update)) {
            c->saveGlobalState();
            v->draw(c);
            c->restoreGlobalState();
        }
    if (overlayView && overlayView->getViewSize().rectOverlap(update)) {
        c->saveGlobalState();
        overlayView->draw(c);
        c->restoreGlobalState();
    }
}

void CFrame::present(const CRect& area) {
    if (!native) return;
    platform::PixelRect r;
    r.left = static_cast<int32_t>(area.left);
    r.top = static_cast<int32_t>(area.top);
    r.right = static_cast<int32_t>(area.right + 0.999);
    r.bottom = static_cast<int32_t>(area.bottom + 0.999);
    native->present(cairo_image_surface_get_data(backBuffer),
                    cairo_image_surface_get_stride(backBuffer), r);
}

// --- pump ----------------------------------------------------------------------------

bool CFrame::pumpNative() {
    if (!native) return true;
    if (native->pumpEvents(*this)) return true;
    // The host destroyed our window: nothing of it may be touched again.
    native.reset();
    textFocus = false;
    return false;
}

void CFrame::fireTimers(uint32_t now) {
    for (CTimer* t : timers)
        if (t) t->fireIfDue(now);
}

void CFrame::pollSelectors() {
    for (CNewFileSelector*& s : selectors) {
        if (!s) continue;
        CNewFileSelector* selector = s;
        if (selector->poll()) {
            // poll() has told its owner; it is done.
            if (s == selector) s = nullptr;
            selector->forget();
        }
    }
}

bool CFrame::addTimer(CTimer* timer) {
    for (CTimer*& t : timers)
        if (!t || t == timer) {
            t = timer;
            return true;
        }
    return false;
}

void CFrame::removeTimer(CTimer* timer) {
    for (CTimer*& t : timers)
        if (t == timer) t = nullptr;
}

bool CFrame::addSelector(CNewFileSelector* selector) {
    for (CNewFileSelector*& s : selectors)
        if (!s) {
            selector->remember();
            s = selector;
            return true;
        }
    return false;
}

void CFrame::removeSelector(CNewFileSelector* selector) {
    for (CNewFileSelector*& s : selectors)
        if (s == selector) {
            s = nullptr;
            selector->forget();
        }
}

// --- mouse -----------------------------------------------------------------------------

CMouseEventResult CFrame::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (messageBox) {
        dismissMessage();
        return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
    }
    if (overlayView) {
        CPoint p = where;
        return overlayView->onMouseDown(p, buttons);
    }
    CView* view = getViewAt(where);
    // A click anywhere but on the focused view ends its editing.
    if (focusView && focusView != view) setFocusView(nullptr);
    if (!view) return kMouseEventNotHandled;
    // Only a left click gives the keyboard to a view (a right click on a value
    // field must not start editing it).
    if (view->wantsFocus() && focusView != view && buttons.isLeftButton()) setFocusView(view);
    CPoint p = where;
    const CMouseEventResult result = view->onMouseDown(p, buttons);
    if (result == kMouseEventHandled) mouseDownView = view;
    return result;
}

CMouseEventResult CFrame::onMouseUp(CPoint& where, const CButtonState& buttons) {
    if (overlayView) {
        CPoint p = where;
        return overlayView->onMouseUp(p, buttons);
    }
    CMouseEventResult result = kMouseEventNotHandled;
    if (mouseDownView) {
        CView* view = mouseDownView;
        mouseDownView = nullptr;
        CPoint p = where;
        result = view->onMouseUp(p, buttons);
    }
    updateHover(where, buttons);
    return result;
}

CMouseEventResult CFrame::onMouseMoved(CPoint& where, const CButtonState& buttons) {
    if (overlayView) {
        CPoint p = where;
        return overlayView->onMouseMoved(p, buttons);
    }
    if (mouseDownView) {
        CPoint p = where;
        return mouseDownView->onMouseMoved(p, buttons);
    }
    updateHover(where, buttons);
    if (!mouseOverView) return kMouseEventNotHandled;
    CPoint p = where;
    return mouseOverView->onMouseMoved(p, buttons);
}

void CFrame::updateHover(CPoint where, const CButtonState& buttons) {
    CView* now = getViewAt(where);
    if (now == mouseOverView) return;
    if (mouseOverView) {
        CPoint p = where;
        mouseOverView->onMouseExited(p, buttons);
    }
    mouseOverView = now;
    if (now) {
        CPoint p = where;
        now->onMouseEntered(p, buttons);
    }
}

void CFrame::onMouseLeftWindow() {
    if (mouseDownView || !mouseOverView) return;
    CPoint p{-1, -1};
    mouseOverView->onMouseExited(p, CButtonState());
    mouseOverView = nullptr;
}

bool CFrame::onWheel(const CPoint& where, float distance, const CButtonState& buttons) {
    if (overlayView) return overlayView->onWheel(where, distance, buttons);
    CView* view = getViewAt(where);
    return view && view->onWheel(where, distance, buttons);
}

// --- keys ------------------------------------------------------------------------------

void CFrame::setFocusView(CView* view) {
    if (focusView == view) return;
    CView* old = focusView;
    focusView = view;
    if (old) old->looseFocus();
    if (focusView) focusView->takeFocus();
}

void CFrame::setTextFocus(bool active) {
    if (textFocus == active) return;
    textFocus = active;
    if (!native) return;
    if (active)
        native->takeKeyboardFocus();
    else
        native->returnKeyboardFocus();
}

bool CFrame::isDuplicateKey(const VstKeyCode& key, KeySource source) {
    const uint32_t now = guiTicks();
    for (RecentKey& k : recentKeys) {
        if (!k.live || k.source == source) continue;
        if (now - k.tick > kKeyPairingMs) {
            k.live = false;
            continue;
        }
        if (k.character == key.character && k.virtualKey == key.virtualKey) {
            k.live = false;  // paired: the other delivery of the same press
            return true;
        }
    }
    RecentKey& slot = recentKeys[nextRecentKey];
    nextRecentKey = (nextRecentKey + 1) % kRecentKeys;
    slot = RecentKey{key.character, key.virtualKey, source, now, true};
    return false;
}

int32_t CFrame::onKeyDown(const VstKeyCode& key, KeySource source) {
    if (source == KeySource::host && !textFocus && !messageBox) return -1;
    if (isDuplicateKey(key, source)) return 1;
    if (messageBox) {
        if (key.virtualKey == platform::kKeyReturn || key.virtualKey == platform::kKeyEnter ||
            key.virtualKey == platform::kKeyEscape) {
            dismissMessage();
            return 1;
        }
        return -1;
    }
    VstKeyCode k = key;
    if (overlayView) return overlayView->onKeyDown(k);
    if (focusView) return focusView->onKeyDown(k);
    if (source == KeySource::window && mouseOverView) return mouseOverView->onKeyDown(k);
    return -1;
}

// --- overlay and messages -------------------------------------------------------------------

void CFrame::setOverlayView(CView* view) {
    if (overlayView == view) return;
    // A view of the frame's own (the info panel) stays attached when it
    // leaves the overlay; a view made for the overlay (an open menu) does not.
    auto isOwnView = [this](CView* v) { return std::find(views.begin(), views.end(), v) != views.end(); };
    if (overlayView) {
        if (!isOwnView(overlayView)) overlayView->removed();
        overlayView->forget();
    }
    overlayView = view;
    if (view) {
        view->remember();
        if (!isOwnView(view)) view->attached(this);
        invalidRect(view->getViewSize());
        view->setDirty();
    } else {
        redrawAll();
    }
}

void CFrame::showMessage(const char* text, const char* caption) {
    // The system's own message box where there is one.
    if (native && native->showAlert(text, caption)) return;
    if (focusView) setFocusView(nullptr);
    if (!messageBox) messageBox = new CMessageBox(size);
    messageBox->setTexts(text, caption, context.get());
    setOverlayView(nullptr);
    messageBox->attached(this);
    setOverlayView(messageBox);
}

void CFrame::dismissMessage() {
    if (!messageBox) return;
    if (overlayView == messageBox) setOverlayView(nullptr);
    messageBox->forget();
    messageBox = nullptr;
    redrawAll();
}

// --- platform::WindowEvents ------------------------------------------------------------------

void CFrame::mouseDown(int32_t x, int32_t y, uint32_t buttons) {
    CPoint p{static_cast<CCoord>(x), static_cast<CCoord>(y)};
    onMouseDown(p, CButtonState(buttons));
}

void CFrame::mouseUp(int32_t x, int32_t y, uint32_t buttons) {
    CPoint p{static_cast<CCoord>(x), static_cast<CCoord>(y)};
    onMouseUp(p, CButtonState(buttons));
}

void CFrame::mouseMoved(int32_t x, int32_t y, uint32_t buttons) {
    CPoint p{static_cast<CCoord>(x), static_cast<CCoord>(y)};
    onMouseMoved(p, CButtonState(buttons));
}

void CFrame::mouseLeft() { onMouseLeftWindow(); }

void CFrame::wheel(int32_t x, int32_t y, float distance, uint32_t buttons) {
    onWheel(CPoint{static_cast<CCoord>(x), static_cast<CCoord>(y)}, distance, CButtonState(buttons));
}

bool CFrame::keyDown(const platform::KeyPress& key) { return onKeyDown(key, KeySource::window) > 0; }

void CFrame::exposed(const platform::PixelRect& a) {
    // A whole new picture is on its way.
    if (isDirty()) return;
    // The back buffer still holds the picture: present it again, no drawing.
    present(CRect(a.left, a.top, a.right, a.bottom));
}

void CFrame::shown() {
    // Nothing was drawn while hidden: one whole current picture.
    redrawAll();
}

}  // namespace vexal
