// Value fields. CParamDisplay shows a control's value as text (through a
// value-to-text procedure) over its background; CTextEdit lets the user type
// a new one: a click starts editing with a caret, Enter or a click elsewhere
// commits, Escape cancels. With a text-to-value procedure the typed text
// becomes the value (a text the procedure refuses keeps the old value);
// without one the field holds plain text (a name).
#pragma once

#include <cstdint>

#include "CControl.h"
#include "CDrawContext.h"

namespace vexal {

class CParamDisplay : public CControl {
public:
    static constexpr int32_t kTextBytes = 256;
    // Writes at most kTextBytes bytes with the terminator; false: no text.
    using ValueToString = bool (*)(float value, char* text, void* userData);
    enum Style : int32_t { kNoFrame = 1 << 0, kNoDrawStyle = 1 << 1, kNoTextStyle = 1 << 2 };

    CParamDisplay(const CRect& size, CBitmap* background = nullptr, int32_t style = 0);
    ~CParamDisplay() override;

    void setValueToStringFunction(ValueToString fn, void* userData) {
        valueToString = fn;
        valueToStringData = userData;
    }
    void setFont(CFontDesc* font);
    void setFontColor(const CColor& c) { fontColor = c; }
    void setBackColor(const CColor& c) { backColor = c; }
    void setFrameColor(const CColor& c) {
        frameColor = c;
        hasFrameColor = true;
    }
    void setHoriAlign(CHoriTxtAlign a) { align = a; }
    void setStyle(int32_t s) { style = s; }
    int32_t getStyle() const { return style; }
    CFontDesc* getFont() const { return font; }
    const CColor& getFontColor() const { return fontColor; }
    const CColor& getBackColor() const { return backColor; }

    void draw(CDrawContext* context) override;
    // The text the field shows (kTextBytes bytes).
    void getDisplayText(char* text) { currentText(text); }

protected:
    // The text shown for the current value.
    virtual void currentText(char* text);
    void drawBack(CDrawContext* context);
    void drawFrameLine(CDrawContext* context);

    ValueToString valueToString = nullptr;
    void* valueToStringData = nullptr;
    CFontDesc* font = nullptr;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    bool hasFrameColor = false;
    CHoriTxtAlign align = kCenterText;
    int32_t style;
};

class CTextEdit : public CParamDisplay {
public:
    // false when the text names no value (the old value is kept).
    using StringToValue = bool (*)(const char* text, float& value, void* userData);

    CTextEdit(const CRect& size, IControlListener* listener, int32_t tag, const char* text = nullptr,
              CBitmap* background = nullptr, int32_t style = 0);

    void setStringToValueFunction(StringToValue fn, void* userData) {
        stringToValue = fn;
        stringToValueData = userData;
    }
    // Plain text (fields without a text-to-value procedure); cut to fit.
    void setText(const char* text);
    const char* getText() const { return text; }
    bool isEditingText() const { return editingText; }
    // Where the caret was last drawn (window x), while editing.
    CCoord getCaretX() const { return caretX; }
    const char* getEditText() const { return edit; }

    void draw(CDrawContext* context) override;
    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    int32_t onKeyDown(VstKeyCode& key) override;
    bool wantsFocus() const override { return true; }
    void takeFocus() override;
    void looseFocus() override;

    // Ends editing: commit takes the text, cancel drops it.
    void commit();
    void cancel();

protected:
    void currentText(char* out) override;

private:
    void insert(uint32_t codePoint);
    void eraseBefore();
    void eraseAfter();
    void finish();

    StringToValue stringToValue = nullptr;
    void* stringToValueData = nullptr;
    char text[kTextBytes] = {};
    char edit[kTextBytes] = {};
    static constexpr CCoord kTextInset = 3;
    int32_t caret = 0;  // byte position in edit
    CCoord scroll = 0;  // pixels of a long text hidden to the left of the field
    CCoord caretX = 0;
    bool editingText = false;
};

}  // namespace vexal
