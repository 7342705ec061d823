// A message drawn inside the editor window (there is no other place a
// plug-in may show one): a box with a caption and a text, dismissed by the
// next click or by Enter or Escape. Texts are kept in fixed buffers.
#pragma once

#include "CDrawContext.h"
#include "CView.h"

namespace vexal {

class CMessageBox : public CView {
public:
    explicit CMessageBox(const CRect& window);
    ~CMessageBox() override;
    void setTexts(const char* text, const char* caption);
    const char* getText() const { return text; }
    const char* getCaption() const { return caption; }
    void draw(CDrawContext* context) override;

private:
    char text[256] = {};
    char caption[96] = {};
    CFontDesc* font;
    CFontDesc* bold;
};

}  // namespace vexal
