// The information panel: a click on the logo opens a box over the lower part
// of the window with the product name, version, the processing latency and
// a technology notice; the next left click anywhere closes it. While open
// the panel is the frame's overlay, which gives it every mouse event, and
// its own rectangle is empty so that it is out of the frame's hit testing.
#pragma once

#include <atomic>
#include <cstdint>

#include "CTextPrinter.h"
#include "gui/CControl.h"

namespace vexal {

class CInfo : public CControl {    // no listener, tag 0
public:
    CInfo(const CRect& size, CBitmap* background /* never drawn, may be null */, CBitmap* font);

    // Any thread (the host may change the sample rate from its audio thread).
    void setLatency(int32_t samples);
    int32_t getLatency() const { return latency.load(std::memory_order_relaxed); }
    bool isOpen() const { return open; }

    CMouseEventResult onMouseDown(CPoint& where, const CButtonState& buttons) override;
    void draw(CDrawContext* context) override;

private:
    void drawPanel(CDrawContext* context);

    CTextPrinter printer;
    std::atomic<int32_t> latency{0};
    CRect savedSize;
    bool open = false;
};

}  // namespace vexal
