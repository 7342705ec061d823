// Program names as text: a name typed by the user is kept as valid UTF-8
// without control characters, and every cut to a byte limit ends on a whole
// character, so no stored or shown name ever holds half of one.
#pragma once

#include <cstddef>

namespace vexal {

// The number of bytes of text (at most maxBytes, stopping at the first NUL)
// to keep so that the cut ends on a character boundary. Text that is not
// valid UTF-8 up to the cut (a host's 8-bit name) is cut at maxBytes.
size_t textPrefixBytes(const char* text, size_t maxBytes);

// Copies typed text into out (maxBytes and a NUL): control characters and
// bytes that are not part of a valid UTF-8 character are dropped, and the
// copy stops before the first character that would not fit.
void cleanTypedName(const char* text, char* out, size_t maxBytes);

}  // namespace vexal
