// Our own pixel fonts: a 5 x 8 cell font for the read-outs (characters
// 32-127; capitals and digits in rows 0-6, row 7 for descenders) and a
// 3 x 5 figure font for the meter scales.
#pragma once

#include <string_view>

namespace vexal::artwork {

// Eight rows of five characters, '#' for ink.
struct Glyph5x8 {
    const char* rows[8];
};

// The glyph of a character code 32..127.
const Glyph5x8& cellGlyph(int code);

// Three columns by five rows, '#' for ink; digits, '+' and '-'.
struct Glyph3x5 {
    char c;
    const char* rows[5];
};
const Glyph3x5& figureGlyph(char c);

// Width in pixels of a figure string (one blank column between figures).
int figureWidth(std::string_view s);

}  // namespace vexal::artwork
