#include "CInfo.h"

#include <cstdio>

#include "gui/CFrame.h"

namespace vexal {

namespace {
const CRect kBox(43, 294, 481, 430);
const CRect kTitleCell(54, 301, 109, 310);
constexpr CCoord kBoxLineWidth = 3;
constexpr CCoord kLatencyEnd = 470;  // the latency grows to the left from here
constexpr CCoord kLatencyBaseline = 351;

struct Line {
    CCoord x;
    CCoord y;
    bool lcdSet;
    const char* text;
};
constexpr Line kLines[] = {
    {55, 309, true, "ZVK Vexal"},
    {200, 309, false, "Brickwall Limiting, Metering and Requantizing"},
    {55, 323, false, "Version:"},
    {440, 323, false, "1.3.1"},
    {55, 351, false, "Current process latency (samples):"},
};
constexpr Line kNotice{165, 421, false, "VST plugin technology by Steinberg"};
}  // namespace

CInfo::CInfo(const CRect& size, CBitmap* background, CBitmap* font)
    : CControl(size, nullptr, 0, background), printer(font), savedSize(size) {}

void CInfo::setLatency(int32_t samples) {
    latency.store(samples, std::memory_order_relaxed);
    setDirty();
}

CMouseEventResult CInfo::onMouseDown(CPoint&, const CButtonState& buttons) {
    if (!buttons.isLeftButton()) return kMouseEventNotHandled;
    CFrame* f = getFrame();
    if (!open) {
        setViewSize(CRect(0, 0, 0, 0));
        open = true;
        if (f) f->setOverlayView(this);
    } else {
        setViewSize(savedSize);
        open = false;
        if (f) f->setOverlayView(nullptr);
    }
    if (f) f->redrawAll();
    return kMouseDownEventHandledButDontNeedMovedOrUpEvents;
}

void CInfo::draw(CDrawContext* context) {
    if (open) drawPanel(context);
    setDirty(false);
}

void CInfo::drawPanel(CDrawContext* context) {
    context->setFillColor(CTextPrinter::kLightCell);
    context->setFrameColor(CTextPrinter::kDarkCell);
    context->setLineWidth(kBoxLineWidth);
    context->drawRect(kBox, kDrawFilledAndStroked);
    context->setFillColor(CTextPrinter::kDarkCell);
    context->drawRect(kTitleCell, kDrawFilled);
    for (const Line& line : kLines) printer.print(context, CPoint{line.x, line.y}, line.text, false, line.lcdSet);
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d", static_cast<int>(getLatency()));
    printer.print(context, CPoint{kLatencyEnd - 6 * n, kLatencyBaseline}, text, false, false);
    printer.print(context, CPoint{kNotice.x, kNotice.y}, kNotice.text, false, kNotice.lcdSet);
}

}  // namespace vexal
