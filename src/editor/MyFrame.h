// The editor's frame: while the info panel is open it lies over everything,
// takes every mouse event, and the whole window is redrawn at every idle so
// that the panel stays on top.
#pragma once

#include "gui/CFrame.h"

namespace vexal {

class MyFrame : public CFrame {
public:
    MyFrame(const CRect& size, AEffGUIEditor* editor) : CFrame(size, editor) {}
    void idle() override {
        if (getOverlayView()) redrawAll();
    }
};

}  // namespace vexal
