#include "ProgramNameText.h"

#include <cstdint>
#include <cstring>

namespace vexal {

namespace {

// Length of the valid UTF-8 character at p (1 to 4), 0 when none starts there.
size_t characterBytes(const unsigned char* p) {
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
    // Overlong forms, surrogates and code points past U+10FFFF are not text.
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

bool isControl(const unsigned char* p, size_t n) {
    if (n == 1) return p[0] < 0x20 || p[0] == 0x7F;
    return n == 2 && p[0] == 0xC2 && p[1] < 0xA0;  // U+0080 … U+009F
}

}  // namespace

size_t textPrefixBytes(const char* text, size_t maxBytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t pos = 0;
    while (pos < maxBytes && p[pos] != 0) {
        const size_t n = characterBytes(p + pos);
        if (n == 0) return strnlen(text, maxBytes);  // not UTF-8: bytes are characters
        if (pos + n > maxBytes) return pos;
        pos += n;
    }
    return pos;
}

void cleanTypedName(const char* text, char* out, size_t maxBytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t in = 0;
    size_t kept = 0;
    while (p[in] != 0) {
        const size_t n = characterBytes(p + in);
        if (n == 0) {
            ++in;
            continue;
        }
        if (!isControl(p + in, n)) {
            if (kept + n > maxBytes) break;
            std::memcpy(out + kept, p + in, n);
            kept += n;
        }
        in += n;
    }
    out[kept] = 0;
}

}  // namespace vexal
