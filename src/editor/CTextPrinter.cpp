#include "CTextPrinter.h"

namespace vexal {

namespace {
constexpr int32_t kGlyphsPerSet = 96;
constexpr int32_t kGlyphs = 2 * kGlyphsPerSet;
constexpr int kGlyphWidth = 5;
}  // namespace

CTextPrinter::CTextPrinter(CBitmap* f) : font(f) {
    if (font) font->remember();
}

CTextPrinter::~CTextPrinter() {
    if (font) font->forget();
}

int32_t CTextPrinter::glyphIndex(char c, bool lcdSet) {
    const int32_t g = (static_cast<unsigned char>(c) & 0x7F) - 32 + (lcdSet ? kGlyphsPerSet : 0);
    return g >= 0 && g < kGlyphs ? g : 0;
}

void CTextPrinter::print(CDrawContext* context, const CPoint& point, const char* text, bool vertical,
                         bool lcdSet) {
    printWith(font, lcdSet ? kDarkCell : kLightCell, context, point, text, vertical, lcdSet);
}

void CTextPrinter::printWith(CBitmap* glyphs, const CColor& cell, CDrawContext* context,
                             const CPoint& point, const char* text, bool vertical, bool lcdSet) {
    if (!context || !text) return;
    const CColor oldFrame = context->getFrameColor();
    const CColor oldFill = context->getFillColor();
    context->setFrameColor(cell);
    context->setFillColor(cell);
    CCoord x = point.x;
    CCoord y = point.y;
    for (const char* c = text; *c; ++c) {
        const int32_t g = glyphIndex(*c, lcdSet);
        const CCoord top = y - (kLineHeight - 1);
        context->drawRect(CRect(x, top, x + kAdvance, y + 1), kDrawFilled);
        if (glyphs) glyphs->draw(context, CRect(x, top, x + kGlyphWidth, y + 1), CPoint{0, CCoord(g * kLineHeight)});
        if (vertical)
            y += kLineHeight;
        else
            x += kAdvance;
    }
    context->setFrameColor(oldFrame);
    context->setFillColor(oldFill);
}

CTextPrinter2Color::CTextPrinter2Color(CBitmap* f, CBitmap* alternate)
    : CTextPrinter(f), alternateFont(alternate) {
    if (alternateFont) alternateFont->remember();
}

CTextPrinter2Color::~CTextPrinter2Color() {
    if (alternateFont) alternateFont->forget();
}

void CTextPrinter2Color::print(CDrawContext* context, const CPoint& point, const char* text, bool vertical,
                               bool lcdSet, bool alternateColour) {
    const CColor cell = !lcdSet ? kLightCell : alternateColour ? kRedCell : kDarkCell;
    printWith(alternateColour ? alternateFont : font, cell, context, point, text, vertical, lcdSet);
}

}  // namespace vexal
