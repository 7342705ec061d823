#include "COptionMenu.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "CFrame.h"

namespace vexal {

namespace {
constexpr CColor kMenuBack{213, 236, 246, 255};
constexpr CColor kMenuInk{36, 36, 32, 255};
constexpr CColor kMenuEdge{79, 79, 79, 255};
constexpr CColor kMenuHover{79, 79, 79, 255};
constexpr CColor kMenuHoverInk{213, 236, 246, 255};
constexpr CCoord kMinColumnWidth = 120;
}  // namespace

COptionMenu::COptionMenu(const CRect& size, IControlListener* l, int32_t t, CBitmap* bg, int32_t s)
    : CParamDisplay(size, bg, s) {
    listener = l;
    tag = t;
    vmax = 0;
}

COptionMenu::~COptionMenu() { closePopup(); }

int32_t COptionMenu::addEntry(const char* title) {
    if (count >= kMaxEntries) return -1;
    setEntryTitle(count, title);
    ++count;
    vmax = static_cast<float>(count - 1);
    return count - 1;
}

void COptionMenu::setEntryTitle(int32_t index, const char* title) {
    if (index < 0 || index >= kMaxEntries) return;
    std::snprintf(titles[index], kTitleBytes, "%s", title ? title : "");
    setDirty();
    if (popup) popup->setDirty();
}

const char* COptionMenu::getEntryTitle(int32_t index) const {
    return index >= 0 && index < count ? titles[index] : nullptr;
}

void COptionMenu::setCurrent(int32_t index) {
    if (index < 0 || index >= count) return;
    value = static_cast<float>(index);
    setDirty();
}

int32_t COptionMenu::getCurrentIndex() const {
    const int32_t i = static_cast<int32_t>(value + 0.5f);
    return i >= 0 && i < count ? i : -1;
}

void COptionMenu::currentText(char* text) {
    const char* title = getEntryTitle(getCurrentIndex());
    std::snprintf(text, kTextBytes, "%s", title ? title : "");
}

CMouseEventResult COptionMenu::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    popupMenu();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

bool COptionMenu::popupMenu() {
    if (!frame || count == 0 || popup) return false;
    CDrawContext* context = frame->getDrawContext();
    CCoord width = kMinColumnWidth;
    if (context) {
        context->saveGlobalState();
        context->setFont(font);  // the standard font when the menu has none
        for (int32_t i = 0; i < count; ++i)
            width = std::max(width, context->getStringWidth(titles[i]) + 16);
        context->restoreGlobalState();
    }
    const int32_t rows = std::min(count, perColumn);
    const int32_t columns = (count + perColumn - 1) / perColumn;
    const CRect window = frame->getViewSize();
    CRect r(size.left, size.bottom, size.left + width * columns + 2,
            size.bottom + COptionMenuPopup::kRowHeight * rows + 2);
    // Kept inside the window: the menu is drawn in it, not in a window of its own.
    if (r.right > window.right) {
        const CCoord shift = std::min(r.right - window.right, r.left - window.left);
        r.left -= shift;
        r.right -= shift;
    }
    if (r.bottom > window.bottom) {
        const CCoord shift = std::min(r.bottom - window.bottom, r.top - window.top);
        r.top -= shift;
        r.bottom -= shift;
    }
    popup = new COptionMenuPopup(this, r, width);
    frame->setOverlayView(popup);
    return true;
}

void COptionMenu::closePopup() {
    if (!popup) return;
    COptionMenuPopup* p = popup;
    popup = nullptr;
    p->detach();
    if (frame && frame->getOverlayView() == p) frame->setOverlayView(nullptr);
    p->forget();
}

void COptionMenu::choose(int32_t index) {
    closePopup();
    if (index < 0 || index >= count) return;
    beginEdit();
    value = static_cast<float>(index);
    setDirty();
    valueChanged();
    endEdit();
}

void COptionMenu::removed() {
    closePopup();
    CParamDisplay::removed();
}

// --- COptionMenuPopup -----------------------------------------------------------------------

COptionMenuPopup::COptionMenuPopup(COptionMenu* m, const CRect& r, CCoord w)
    : CView(r), menu(m), columnWidth(w) {}

CRect COptionMenuPopup::entryRect(int32_t index) const {
    const int32_t perColumn = menu ? menu->getNbItemsPerColumn() : 1;
    const int32_t column = index / perColumn;
    const int32_t row = index % perColumn;
    const CCoord left = size.left + 1 + column * columnWidth;
    const CCoord top = size.top + 1 + row * kRowHeight;
    return CRect(left, top, left + columnWidth, top + kRowHeight);
}

int32_t COptionMenuPopup::entryAt(const CPoint& where) const {
    if (!menu || !size.pointInside(where)) return -1;
    for (int32_t i = 0; i < menu->getNbEntries(); ++i)
        if (entryRect(i).pointInside(where)) return i;
    return -1;
}

void COptionMenuPopup::draw(CDrawContext* c) {
    c->setFillColor(kMenuBack);
    c->setFrameColor(kMenuEdge);
    c->setLineWidth(1);
    c->drawRect(size, kDrawFilledAndStroked);
    if (menu) {
        c->setFont(menu->getFont());
        const int32_t current = menu->getCurrentIndex();
        for (int32_t i = 0; i < menu->getNbEntries(); ++i) {
            const CRect r = entryRect(i);
            if (i == hovered) {
                c->setFillColor(kMenuHover);
                c->drawRect(r, kDrawFilled);
            }
            c->setFontColor(i == hovered ? kMenuHoverInk : kMenuInk);
            CRect text = r;
            text.left += 12;
            c->drawString(menu->getEntryTitle(i), text, kLeftText);
            if (i == current) {
                // A small square marks the current entry.
                c->setFillColor(i == hovered ? kMenuHoverInk : kMenuInk);
                c->drawRect(CRect(r.left + 4, r.top + 5, r.left + 8, r.top + 9), kDrawFilled);
            }
        }
    }
    setDirty(false);
}

CMouseEventResult COptionMenuPopup::onMouseDown(CPoint& where, const CButtonState& buttons) {
    if (!menu) return kMouseEventNotHandled;
    COptionMenu* m = menu;
    const int32_t index = buttons.isLeftButton() ? entryAt(where) : -1;
    if (index >= 0)
        m->choose(index);  // closes the menu first
    else if (!size.pointInside(where) || !buttons.isLeftButton())
        m->closePopup();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

CMouseEventResult COptionMenuPopup::onMouseUp(CPoint&, const CButtonState&) { return kMouseEventHandled; }

CMouseEventResult COptionMenuPopup::onMouseMoved(CPoint& where, const CButtonState&) {
    const int32_t index = entryAt(where);
    if (index != hovered) {
        hovered = index;
        setDirty();
    }
    return kMouseEventHandled;
}

bool COptionMenuPopup::onWheel(const CPoint&, float, const CButtonState&) { return true; }

int32_t COptionMenuPopup::onKeyDown(VstKeyCode& key) {
    if (!menu) return -1;
    const int32_t n = menu->getNbEntries();
    switch (key.virtualKey) {
        case platform::kKeyEscape:
            menu->closePopup();
            return 1;
        case platform::kKeyReturn:
        case platform::kKeyEnter:
            if (hovered >= 0)
                menu->choose(hovered);
            else
                menu->closePopup();
            return 1;
        case platform::kKeyDown:
            hovered = hovered < 0 ? std::max(menu->getCurrentIndex(), 0) : std::min(hovered + 1, n - 1);
            setDirty();
            return 1;
        case platform::kKeyUp:
            hovered = hovered < 0 ? std::max(menu->getCurrentIndex(), 0) : std::max(hovered - 1, 0);
            setDirty();
            return 1;
        default:
            return -1;
    }
}

}  // namespace vexal
