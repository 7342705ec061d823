// Text as it is drawn. Names keep their bytes wherever they are stored, and
// files written by other systems carry them in a Windows code page: for the
// screen, every byte that does not belong to a valid UTF-8 character is read
// as Windows-1252, so that "Caf\xe9" shows "Café" and nothing handed to the
// font machinery is ever invalid UTF-8.
#pragma once

#include <cstddef>

namespace vexal {

// Writes the display form of text (stopping at its NUL) into out, which
// holds outBytes with the terminator; the copy ends on a whole character.
// Answers the number of bytes written, without the terminator.
size_t displayText(const char* text, char* out, size_t outBytes);

// The most bytes displayText can write for an input of n bytes.
constexpr size_t displayBytesFor(size_t n) { return 3 * n + 1; }

}  // namespace vexal
