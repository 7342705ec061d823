// Text placement on top of the platform's showText and measure: the same
// display form, insets and alignment whichever library draws the glyphs.
#include "CDrawContext.h"
#include "DisplayText.h"

namespace vexal {

void CDrawContext::drawString(const char* text, const CRect& r, CHoriTxtAlign align) {
    if (!text || !*text || r.isEmpty()) return;
    char shown[kDisplayBytes];
    displayText(text, shown, sizeof shown);
    const CCoord width = measure(shown);
    CCoord x = r.left + kOverflowInset;
    if (width <= r.getWidth() - 2) {
        x = r.left + 1;
        if (align == kCenterText)
            x = r.left + (r.getWidth() - width) / 2;
        else if (align == kRightText)
            x = r.right - 1 - width;
    }
    showText(shown, x, r);
}

void CDrawContext::drawStringFrom(const char* text, const CRect& r, CCoord x) {
    if (!text || !*text || r.isEmpty()) return;
    char shown[kDisplayBytes];
    displayText(text, shown, sizeof shown);
    showText(shown, x, r);
}

CCoord CDrawContext::getStringWidth(const char* text) {
    if (!text || !*text) return 0;
    char shown[kDisplayBytes];
    displayText(text, shown, sizeof shown);
    return measure(shown);
}

}  // namespace vexal
