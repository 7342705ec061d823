// A message drawn inside the editor window (there is no other place a
// plug-in may show one): a box with a caption and a text, dismissed by the
// next click or by Enter or Escape. The text is wrapped at word boundaries
// (a word alone wider than the box is broken) and the box is as high as its
// text needs, centred in the window. Texts are kept in fixed buffers.
#pragma once

#include <cstdint>

#include "CDrawContext.h"
#include "CView.h"

namespace vexal {

class CMessageBox : public CView {
public:
    static constexpr CCoord kBoxWidth = 400;
    static constexpr CCoord kTextWidth = kBoxWidth - 24;
    static constexpr int32_t kMaxLines = 16;

    explicit CMessageBox(const CRect& window);
    ~CMessageBox() override;
    // Takes the texts and lays them out with the context's measurements.
    void setTexts(const char* text, const char* caption, CDrawContext* context);
    const char* getText() const { return text; }
    const char* getCaption() const { return caption; }
    int32_t getLineCount() const { return lineCount; }
    // Line i of the wrapped text (kTextBytes long buffer).
    void getLine(int32_t i, char* out) const;
    void draw(CDrawContext* context) override;

    static constexpr int32_t kTextBytes = 256;

private:
    void wrap(CDrawContext* context);
    void place();

    struct Line {
        int32_t start = 0;
        int32_t length = 0;
    };
    CRect window;
    char text[kTextBytes] = {};
    char caption[96] = {};
    Line lines[kMaxLines];
    int32_t lineCount = 0;
    CFontDesc* font;
    CFontDesc* bold;
};

}  // namespace vexal
