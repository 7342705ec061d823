#include "ProgramNameText.h"

#include <cstdint>
#include <cstring>

#include "platform/Utf8.h"

namespace vexal {

namespace {

size_t characterBytes(const unsigned char* p) { return platform::utf8CharacterBytes(p); }

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
