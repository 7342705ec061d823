#include "CMessageBox.h"

#include <cstdio>

namespace vexal {

namespace {
constexpr CColor kPanel{213, 236, 246, 255};
constexpr CColor kInk{36, 36, 32, 255};
constexpr CColor kEdge{79, 79, 79, 255};
constexpr CCoord kBoxWidth = 400;
constexpr CCoord kBoxHeight = 84;
}  // namespace

CMessageBox::CMessageBox(const CRect& window)
    : CView(CRect(window.left + (window.getWidth() - kBoxWidth) / 2,
                  window.top + (window.getHeight() - kBoxHeight) / 2,
                  window.left + (window.getWidth() + kBoxWidth) / 2,
                  window.top + (window.getHeight() + kBoxHeight) / 2)),
      font(new CFontDesc("Arial", 11)),
      bold(new CFontDesc("Arial", 12, true)) {}

CMessageBox::~CMessageBox() {
    font->forget();
    bold->forget();
}

void CMessageBox::setTexts(const char* t, const char* c) {
    std::snprintf(text, sizeof text, "%s", t ? t : "");
    std::snprintf(caption, sizeof caption, "%s", c ? c : "");
    setDirty();
}

void CMessageBox::draw(CDrawContext* ctx) {
    ctx->setFillColor(kPanel);
    ctx->setFrameColor(kEdge);
    ctx->setLineWidth(2);
    ctx->drawRect(size, kDrawFilledAndStroked);
    ctx->setFontColor(kInk);
    const CCoord x = size.left + 12;
    const CCoord w = size.getWidth() - 24;
    if (caption[0]) {
        ctx->setFont(bold);
        ctx->drawString(caption, CRect(x, size.top + 8, x + w, size.top + 26), kLeftText);
    }
    ctx->setFont(font);
    ctx->drawString(text, CRect(x, size.top + 30, x + w, size.top + 52), kLeftText);
    ctx->setFontColor(kEdge);
    ctx->drawString("Click or press Enter to close", CRect(x, size.top + 58, x + w, size.top + 76),
                    kRightText);
    setDirty(false);
}

}  // namespace vexal
