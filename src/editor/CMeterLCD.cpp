#include "CMeterLCD.h"

#include <cstdio>
#include <cstring>

#include "MeterMath.h"

namespace vexal {

namespace {
constexpr float kResetPeakDb = -120.0f;
constexpr float kNoValueDb = -100.0f;  // at or below: "-oo"
// Within the view (l, t, r, b): the value cells span x 1 … 31 and
// 61 … 91, rows b − 10 … b − 2; the texts are centred on x 17 and 77.
constexpr CCoord kLeftCell = 1;
constexpr CCoord kRightCell = 61;
constexpr CCoord kCellWidth = 31;
constexpr CCoord kLeftCentre = 17;
constexpr CCoord kRightCentre = 77;
constexpr CCoord kBaselineAboveBottom = 2;

CRect valueCell(const CRect& view, CCoord left) {
    return CRect(view.left + left, view.bottom - 10, view.left + left + kCellWidth, view.bottom - 1);
}

// Centred, 6 pixels per glyph; a text longer than the cell starts left of it.
CPoint centredText(const CRect& view, CCoord centre, const char* text) {
    const auto n = static_cast<CCoord>(std::strlen(text));
    return CPoint{view.left + centre - 3 * n, view.bottom - kBaselineAboveBottom};
}

CMouseEventResult resetClick(CControl* control, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    control->valueChanged();
    control->invalid();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void drawBackground(CControl* control, CDrawContext* context) {
    const CRect& r = control->getViewSize();
    if (CBitmap* b = control->getBackground()) b->draw(context, r, CPoint{r.left, r.top});
}
}  // namespace

// --- peak read-out -----------------------------------------------------------------

CMeterLCD::CMeterLCD(const CRect& size, CBitmap* background, CBitmap* font, CBitmap* redFont, IControlListener* l)
    : CControl(size, l, kTag, background), printer(font, redFont) {}

void CMeterLCD::setLevels(float peakL, float peakR) {
    const float peaks[2] = {peakL, peakR};
    for (int ch = 0; ch < 2; ++ch) {
        // No floor: silence is −∞ and NaN compares false, neither raises the maximum.
        const float v = meter::decibels(peaks[ch]);
        if (v > maxDb[ch]) {
            maxDb[ch] = v;
            setDirty();  // the text shows only the maximum: nothing else changes it
        }
    }
}

void CMeterLCD::setMode(int32_t m) {
    mode = m;
    setDirty();
}

void CMeterLCD::reset() {
    maxDb[0] = maxDb[1] = kResetPeakDb;
    setDirty();
}

void CMeterLCD::drawValue(CDrawContext* context, float peakDb, CCoord cellLeft, CCoord centre) {
    static constexpr float kOffsetDb[4] = {0, 12, 14, 20};
    const float shown = peakDb + (mode >= 0 && mode <= 3 ? kOffsetDb[mode] : 0.0f);
    char text[48];
    if (!(shown > kNoValueDb))
        std::strcpy(text, "-oo");
    else
        std::snprintf(text, sizeof text, "%+2.1f", static_cast<double>(shown));
    const bool over = peakDb > 0.0f;  // before the K offset
    if (over) context->setFillColor(CTextPrinter::kRedCell);
    context->drawRect(valueCell(size, cellLeft), kDrawFilled);
    context->setFillColor(CTextPrinter::kDarkCell);
    printer.print(context, centredText(size, centre, text), text, false, true, over);
}

void CMeterLCD::draw(CDrawContext* context) {
    drawBackground(this, context);
    context->setFillColor(CTextPrinter::kDarkCell);
    const CCoord baseline = size.bottom - kBaselineAboveBottom;
    if (mode >= 1 && mode <= 3) {
        printer.print(context, CPoint{size.left + 35, baseline}, "    ", false, false, false);
        printer.print(context, CPoint{size.left + 38, baseline}, "dBr", false, false, false);
    } else {
        printer.print(context, CPoint{size.left + 35, baseline}, "dBFS", false, false, false);
    }
    drawValue(context, maxDb[0], kLeftCell, kLeftCentre);
    drawValue(context, maxDb[1], kRightCell, kRightCentre);
    setDirty(false);
}

CMouseEventResult CMeterLCD::onMouseDown(CPoint&, const CButtonState& buttons) {
    const CMouseEventResult result = resetClick(this, buttons);
    if (result != kMouseEventNotHandled) reset();
    return result;
}

// --- gain-reduction read-out ---------------------------------------------------------

CMeterLCDGR::CMeterLCDGR(const CRect& size, CBitmap* background, CBitmap* font, IControlListener* l)
    : CControl(size, l, kTag, background), printer(font) {}

void CMeterLCDGR::setLevels(float gainL, float gainR) {
    const float gains[2] = {gainL, gainR};
    for (int ch = 0; ch < 2; ++ch) {
        const float v = meter::decibels(gains[ch]);
        if (v < maxDb[ch]) {
            maxDb[ch] = v;
            setDirty();
        }
    }
}

void CMeterLCDGR::reset() {
    maxDb[0] = maxDb[1] = 0;
    setDirty();
}

void CMeterLCDGR::drawValue(CDrawContext* context, float gainDb, CCoord cellLeft, CCoord centre) {
    char text[48];
    std::snprintf(text, sizeof text, "%2.1f", static_cast<double>(gainDb));
    context->drawRect(valueCell(size, cellLeft), kDrawFilled);
    printer.print(context, centredText(size, centre, text), text, false, true);
}

void CMeterLCDGR::draw(CDrawContext* context) {
    drawBackground(this, context);
    context->setFillColor(CTextPrinter::kDarkCell);
    printer.print(context, CPoint{size.left + 41, size.bottom - kBaselineAboveBottom}, "dB", false, false);
    drawValue(context, maxDb[0], kLeftCell, kLeftCentre);
    drawValue(context, maxDb[1], kRightCell, kRightCentre);
    setDirty(false);
}

CMouseEventResult CMeterLCDGR::onMouseDown(CPoint&, const CButtonState& buttons) {
    const CMouseEventResult result = resetClick(this, buttons);
    if (result != kMouseEventNotHandled) reset();
    return result;
}

}  // namespace vexal
