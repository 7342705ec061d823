// UTF-8 validation shared by the name store and the toolkit's display text:
// both must agree on which bytes are text and which are a code page's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vexal::platform {

// Length of the valid UTF-8 character at p (1 to 4), 0 when none starts there.
// Overlong forms, surrogates and code points past U+10FFFF are not text.
inline size_t utf8CharacterBytes(const unsigned char* p) {
    const unsigned char c = p[0];
    if (c < 0x80) return 1;
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;  // also stops at the NUL
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

}  // namespace vexal::platform
