// Text from the 5 × 8 bitmap fonts of the read-outs and the info panel.
// A font bitmap stacks 192 glyphs of 5 × 8 pixels: glyphs 0–95 are the
// characters 32–127 dark on a light cell (the light set), glyphs 96–191 the
// same characters light on a dark cell (the LCD set). Each glyph is printed
// on a 6 × 8 cell of the cell colour, so a text clears what lay beneath it.
#pragma once

#include "gui/CBitmap.h"
#include "gui/CDrawContext.h"

namespace vexal {

class CTextPrinter {
public:
    // Cell colours: light set; LCD set; LCD set in the alternate (red) font.
    static constexpr CColor kLightCell{213, 236, 246, 255};
    static constexpr CColor kDarkCell{79, 79, 79, 255};
    static constexpr CColor kRedCell{229, 53, 5, 255};
    static constexpr int kAdvance = 6;     // horizontal step per character
    static constexpr int kLineHeight = 8;  // vertical step and glyph height

    explicit CTextPrinter(CBitmap* font);
    virtual ~CTextPrinter();
    CTextPrinter(const CTextPrinter&) = delete;
    CTextPrinter& operator=(const CTextPrinter&) = delete;

    // point = the glyph's lower-left baseline (x, y): the glyph occupies rows y-7 … y
    void print(CDrawContext* context, const CPoint& point, const char* text, bool vertical, bool lcdSet);

    // The glyph a character prints as; anything outside the font is the space.
    static int32_t glyphIndex(char c, bool lcdSet);

protected:
    static void printWith(CBitmap* font, const CColor& cell, CDrawContext* context,
                          const CPoint& point, const char* text, bool vertical, bool lcdSet);

    CBitmap* font;
};

class CTextPrinter2Color : public CTextPrinter {
public:
    CTextPrinter2Color(CBitmap* font, CBitmap* alternateFont);
    ~CTextPrinter2Color() override;

    // The alternate font is used whenever the alternate colour is asked
    // for, in either glyph set; only the LCD set's cell changes colour.
    void print(CDrawContext* context, const CPoint& point, const char* text, bool vertical, bool lcdSet,
               bool alternateColour);

private:
    CBitmap* alternateFont;
};

}  // namespace vexal
