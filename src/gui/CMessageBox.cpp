#include "CMessageBox.h"

#include <cstdio>
#include <cstring>

namespace vexal {

namespace {
constexpr CColor kPanel{213, 236, 246, 255};
constexpr CColor kInk{36, 36, 32, 255};
constexpr CColor kEdge{79, 79, 79, 255};
constexpr CCoord kPadding = 8;
constexpr CCoord kCaptionHeight = 18;
constexpr CCoord kLineHeight = 15;
constexpr CCoord kHintHeight = 18;

bool isContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
}  // namespace

CMessageBox::CMessageBox(const CRect& w)
    : CView(w), window(w), font(new CFontDesc("Arial", 11)), bold(new CFontDesc("Arial", 12, true)) {
    place();
}

CMessageBox::~CMessageBox() {
    font->forget();
    bold->forget();
}

void CMessageBox::setTexts(const char* t, const char* c, CDrawContext* context) {
    std::snprintf(text, sizeof text, "%s", t ? t : "");
    std::snprintf(caption, sizeof caption, "%s", c ? c : "");
    wrap(context);
    place();
    setDirty();
}

void CMessageBox::getLine(int32_t i, char* out) const {
    out[0] = 0;
    if (i < 0 || i >= lineCount) return;
    std::memcpy(out, text + lines[i].start, static_cast<size_t>(lines[i].length));
    out[lines[i].length] = 0;
}

// Greedy: as many whole words on a line as fit; a word wider than a line on
// its own is cut where it stops fitting. A line break in the text is kept.
void CMessageBox::wrap(CDrawContext* context) {
    lineCount = 0;
    const auto n = static_cast<int32_t>(std::strlen(text));
    if (!context) {
        lines[lineCount++] = Line{0, n};
        return;
    }
    context->saveGlobalState();
    context->setFont(font);
    char piece[kTextBytes];
    auto fits = [&](int32_t start, int32_t end) {
        std::memcpy(piece, text + start, static_cast<size_t>(end - start));
        piece[end - start] = 0;
        return context->getStringWidth(piece) <= kTextWidth;
    };
    int32_t at = 0;
    while (at < n && lineCount < kMaxLines) {
        while (at < n && text[at] == ' ') ++at;
        if (at >= n) break;
        if (text[at] == '\n') {  // an empty line
            lines[lineCount++] = Line{at, 0};
            ++at;
            continue;
        }
        int32_t end = at;  // the line so far is text[at, end)
        int32_t next = at;
        while (next < n && text[next] != '\n') {
            int32_t wordEnd = next;
            while (wordEnd < n && text[wordEnd] == ' ') ++wordEnd;
            while (wordEnd < n && text[wordEnd] != ' ' && text[wordEnd] != '\n') ++wordEnd;
            if (!fits(at, wordEnd)) break;
            end = next = wordEnd;
        }
        if (end == at) {
            // Not even the first word fits: cut it, on a whole character.
            end = at + 1;
            while (end < n && text[end] != ' ' && text[end] != '\n' && fits(at, end + 1)) ++end;
            while (end > at + 1 && end < n && isContinuation(text[end])) --end;
        }
        int32_t shown = end;
        while (shown > at && text[shown - 1] == ' ') --shown;
        lines[lineCount++] = Line{at, shown - at};
        at = end;
        if (at < n && text[at] == '\n') ++at;
    }
    context->restoreGlobalState();
}

void CMessageBox::place() {
    const CCoord height = kPadding + (caption[0] ? kCaptionHeight + 4 : 0) +
                          (lineCount > 0 ? lineCount : 1) * kLineHeight + 6 + kHintHeight + kPadding;
    const CCoord left = window.left + (window.getWidth() - kBoxWidth) / 2;
    const CCoord top = window.top + static_cast<int>((window.getHeight() - height) / 2);
    size = CRect(left, top, left + kBoxWidth, top + height);
}

void CMessageBox::draw(CDrawContext* ctx) {
    ctx->setFillColor(kPanel);
    ctx->setFrameColor(kEdge);
    ctx->setLineWidth(2);
    ctx->drawRect(size, kDrawFilledAndStroked);
    ctx->setFontColor(kInk);
    const CCoord x = size.left + 12;
    CCoord y = size.top + kPadding;
    if (caption[0]) {
        ctx->setFont(bold);
        ctx->drawString(caption, CRect(x, y, x + kTextWidth, y + kCaptionHeight), kLeftText);
        y += kCaptionHeight + 4;
    }
    ctx->setFont(font);
    char line[kTextBytes];
    for (int32_t i = 0; i < lineCount; ++i) {
        getLine(i, line);
        ctx->drawString(line, CRect(x, y, x + kTextWidth, y + kLineHeight), kLeftText);
        y += kLineHeight;
    }
    if (lineCount == 0) y += kLineHeight;
    ctx->setFontColor(kEdge);
    ctx->drawString("Click or press Enter to close", CRect(x, y + 6, x + kTextWidth, y + 6 + kHintHeight),
                    kRightText);
    setDirty(false);
}

}  // namespace vexal
