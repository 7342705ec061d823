#include "DisplayText.h"

#include <cstdint>
#include <cstring>

#include "platform/Utf8.h"

namespace vexal {

namespace {

// Windows-1252 at 0x80 … 0x9F; the five unassigned bytes show the
// replacement character. Everything else is Latin-1.
constexpr uint16_t kHighControls[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

size_t utf8Length(const unsigned char* p) { return platform::utf8CharacterBytes(p); }

size_t encode(uint32_t cp, char* out) {
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
}

}  // namespace

size_t displayText(const char* text, char* out, size_t outBytes) {
    if (outBytes == 0) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text ? text : "");
    size_t written = 0;
    while (*p) {
        char bytes[4];
        size_t n = utf8Length(p);
        if (n > 0) {
            std::memcpy(bytes, p, n);
            p += n;
        } else {
            const unsigned char b = *p++;
            n = encode(b < 0xA0 ? kHighControls[b - 0x80] : b, bytes);
        }
        if (written + n >= outBytes) break;
        std::memcpy(out + written, bytes, n);
        written += n;
    }
    out[written] = 0;
    return written;
}

}  // namespace vexal
