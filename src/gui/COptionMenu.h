// A menu of titled entries. A left click opens it as an overlay inside the
// window, in columns of N entries; choosing an entry makes its index the
// value and tells the listener; Escape or a click outside closes it without
// a change. With kNoDrawStyle the closed menu draws nothing (an invisible
// click area over artwork).
#pragma once

#include <cstdint>

#include "CTextEdit.h"

namespace vexal {

class COptionMenuPopup;

class COptionMenu : public CParamDisplay {
public:
    static constexpr int32_t kMaxEntries = 64;
    static constexpr int32_t kTitleBytes = 64;

    COptionMenu(const CRect& size, IControlListener* listener, int32_t tag,
                CBitmap* background = nullptr, int32_t style = 0);
    ~COptionMenu() override;

    // The new entry's index, or −1 when the menu is full.
    int32_t addEntry(const char* title);
    void setEntryTitle(int32_t index, const char* title);
    const char* getEntryTitle(int32_t index) const;
    int32_t getNbEntries() const { return count; }
    void removeAllEntry() { count = 0; }

    void setCurrent(int32_t index);
    int32_t getCurrentIndex() const;
    void setNbItemsPerColumn(int32_t n) { perColumn = n > 0 ? n : 1; }
    int32_t getNbItemsPerColumn() const { return perColumn; }

    bool isOpen() const { return popup != nullptr; }
    COptionMenuPopup* getPopup() const { return popup; }
    // Opens the menu (as a left click does); false without a frame or entries.
    bool popupMenu();
    // Called by the open menu.
    void choose(int32_t index);
    void closePopup();

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    void removed() override;

protected:
    void currentText(char* text) override;

private:
    char titles[kMaxEntries][kTitleBytes] = {};
    int32_t count = 0;
    int32_t perColumn = 1000;
    COptionMenuPopup* popup = nullptr;
};

// The open menu, shown in the frame's overlay.
class COptionMenuPopup : public CView {
public:
    static constexpr CCoord kRowHeight = 14;

    COptionMenuPopup(COptionMenu* menu, const CRect& size, CCoord columnWidth);
    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseUp(CPoint& where, const CButtonState& buttons) override;
    CMouseEventResult onMouseMoved(CPoint& where, const CButtonState& buttons) override;
    bool onWheel(const CPoint& where, float distance, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;

    // The entry under the point, or −1.
    int32_t entryAt(const CPoint& where) const;
    CRect entryRect(int32_t index) const;
    int32_t getHovered() const { return hovered; }
    void detach() { menu = nullptr; }

private:
    COptionMenu* menu;
    CCoord columnWidth;
    int32_t hovered = -1;
};

}  // namespace vexal
