#include "CTextEdit.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "CFrame.h"
#include "DisplayText.h"

namespace vexal {

namespace {
bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

int encodeUtf8(uint32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        if (cp >= 0xD800 && cp < 0xE000) return 0;
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    if (cp > 0x10FFFF) return 0;
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}
}  // namespace

// --- CParamDisplay -----------------------------------------------------------------------

CParamDisplay::CParamDisplay(const CRect& size, CBitmap* bg, int32_t s)
    : CControl(size, nullptr, -1, bg), style(s) {}

CParamDisplay::~CParamDisplay() {
    if (font) font->forget();
}

void CParamDisplay::setFont(CFontDesc* f) {
    if (f) f->remember();
    if (font) font->forget();
    font = f;
}

void CParamDisplay::currentText(char* out) {
    out[0] = 0;
    if (valueToString && valueToString(value, out, valueToStringData)) return;
    if (!valueToString) std::snprintf(out, kTextBytes, "%.2f", static_cast<double>(value));
}

void CParamDisplay::drawBack(CDrawContext* context) {
    if (getBackground()) {
        getBackground()->draw(context, size, backOffset);
    } else {
        context->setFillColor(backColor);
        context->drawRect(size, kDrawFilled);
    }
}

void CParamDisplay::drawFrameLine(CDrawContext* context) {
    if ((style & kNoFrame) || !hasFrameColor) return;
    context->setFrameColor(frameColor);
    context->setLineWidth(1);
    context->drawRect(size, kDrawStroked);
}

void CParamDisplay::draw(CDrawContext* context) {
    if (!(style & kNoDrawStyle)) {
        drawBack(context);
        if (!(style & kNoTextStyle)) {
            char shown[kTextBytes];
            currentText(shown);
            context->setFont(font);
            context->setFontColor(fontColor);
            context->drawString(shown, size, align);
        }
        drawFrameLine(context);
    }
    setDirty(false);
}

// --- CTextEdit -------------------------------------------------------------------------------

CTextEdit::CTextEdit(const CRect& size, IControlListener* l, int32_t t, const char* initial,
                     CBitmap* bg, int32_t s)
    : CParamDisplay(size, bg, s) {
    listener = l;
    tag = t;
    setText(initial);
}

void CTextEdit::setText(const char* t) {
    std::snprintf(text, sizeof text, "%s", t ? t : "");
    // Never leave half a character at the cut.
    size_t n = std::strlen(text);
    if (n == sizeof text - 1) {
        while (n > 0 && isContinuation(text[n])) --n;
        text[n] = 0;
    }
    setDirty();
}

void CTextEdit::currentText(char* out) {
    if (stringToValue || valueToString)
        CParamDisplay::currentText(out);
    else
        std::memcpy(out, text, sizeof text);
}

CMouseEventResult CTextEdit::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    // The frame gave this field the focus, which started the editing.
    if (frame && frame->getFocusView() != this) frame->setFocusView(this);
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CTextEdit::takeFocus() {
    // The user edits what the field shows: a name in a Windows code page is
    // turned into the text it displays, and typed on as such.
    char shown[kTextBytes];
    currentText(shown);
    displayText(shown, edit, sizeof edit);
    scroll = 0;
    caret = static_cast<int32_t>(std::strlen(edit));
    editingText = true;
    if (frame) frame->setTextFocus(true);
    setDirty();
}

void CTextEdit::looseFocus() {
    if (editingText) commit();
}

void CTextEdit::finish() {
    editingText = false;
    if (frame) {
        frame->setTextFocus(false);
        if (frame->getFocusView() == this) frame->setFocusView(nullptr);
    }
    setDirty();
}

void CTextEdit::commit() {
    if (!editingText) return;
    editingText = false;
    if (stringToValue) {
        float v = value;
        if (stringToValue(edit, v, stringToValueData)) {
            beginEdit();
            value = v;
            bounceValue();
            valueChanged();
            endEdit();
        }
    } else {
        // A text left as it was keeps its bytes (a name in a Windows code page
        // is not rewritten as UTF-8 merely by pressing Enter).
        char shown[kTextBytes];
        displayText(text, shown, sizeof shown);
        if (std::strcmp(shown, edit) != 0) {
            setText(edit);
            valueChanged();
        }
    }
    finish();
}

void CTextEdit::cancel() {
    if (!editingText) return;
    editingText = false;
    finish();
}

void CTextEdit::insert(uint32_t cp) {
    if (cp < 0x20 || cp == 0x7F) return;  // control characters are never typed into a field
    char bytes[4];
    const int n = encodeUtf8(cp, bytes);
    const int32_t length = static_cast<int32_t>(std::strlen(edit));
    if (n == 0 || length + n >= kTextBytes) return;
    std::memmove(edit + caret + n, edit + caret, static_cast<size_t>(length - caret + 1));
    std::memcpy(edit + caret, bytes, static_cast<size_t>(n));
    caret += n;
}

void CTextEdit::eraseBefore() {
    if (caret == 0) return;
    int32_t start = caret - 1;
    while (start > 0 && isContinuation(edit[start])) --start;
    std::memmove(edit + start, edit + caret, std::strlen(edit + caret) + 1);
    caret = start;
}

void CTextEdit::eraseAfter() {
    if (edit[caret] == 0) return;
    int32_t end = caret + 1;
    while (edit[end] != 0 && isContinuation(edit[end])) ++end;
    std::memmove(edit + caret, edit + end, std::strlen(edit + end) + 1);
}

int32_t CTextEdit::onKeyDown(VstKeyCode& key) {
    if (!editingText) return -1;
    switch (key.virtualKey) {
        case platform::kKeyReturn:
        case platform::kKeyEnter:
            commit();
            return 1;
        case platform::kKeyEscape:
            cancel();
            return 1;
        case platform::kKeyBack:
            eraseBefore();
            break;
        case platform::kKeyDelete:
            eraseAfter();
            break;
        case platform::kKeyHome:
            caret = 0;
            break;
        case platform::kKeyEnd:
            caret = static_cast<int32_t>(std::strlen(edit));
            break;
        case platform::kKeyLeft:
            while (caret > 0 && isContinuation(edit[--caret])) {
            }
            break;
        case platform::kKeyRight:
            if (edit[caret] != 0)
                while (edit[++caret] != 0 && isContinuation(edit[caret])) {
                }
            break;
        case platform::kKeySpace:
            insert(' ');
            break;
        default:
            if (key.character == 0 || (key.modifiers & (kControl | kAlt))) return -1;
            insert(key.character);
            break;
    }
    setDirty();
    return 1;
}

void CTextEdit::draw(CDrawContext* context) {
    if (!editingText) {
        CParamDisplay::draw(context);
        return;
    }
    drawBack(context);
    context->setFont(font);
    context->setFontColor(fontColor);
    char before[kTextBytes];
    std::memcpy(before, edit, static_cast<size_t>(caret));
    before[caret] = 0;
    const CCoord full = context->getStringWidth(edit);
    const CCoord upToCaret = context->getStringWidth(before);
    // Text that fits sits as the field aligns it; longer text scrolls so that
    // the caret stays inside the field.
    const CCoord inner = size.getWidth() - 2 * kTextInset;
    CCoord start;
    if (full <= inner) {
        scroll = 0;
        start = size.left + 1;
        if (align == kCenterText)
            start = size.left + (size.getWidth() - full) / 2;
        else if (align == kRightText)
            start = size.right - 1 - full;
    } else {
        scroll = std::clamp(scroll, upToCaret - inner, upToCaret);
        scroll = std::clamp(scroll, CCoord(0), full - inner);
        start = size.left + kTextInset - scroll;
    }
    context->drawStringFrom(edit, size, start);
    caretX = static_cast<int>(start + upToCaret + 0.5);
    caretX = std::clamp(caretX, size.left + 1, size.right - 2);
    context->setFillColor(fontColor);
    context->drawRect(CRect(caretX, size.top + 2, caretX + 1, size.bottom - 2), kDrawFilled);
    drawFrameLine(context);
    setDirty(false);
}

}  // namespace vexal
