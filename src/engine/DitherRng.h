// The three-word shift-register generator shared by the requantizer's dither
// and the calibration noise. All arithmetic on unsigned 32-bit words.
#pragma once

#include <cstdint>

namespace vexal {

struct DitherRng {
    uint32_t s1 = 592;
    uint32_t s2 = 153768;
    uint32_t s3 = 1526;

    void seed() {
        s1 = 592;
        s2 = 153768;
        s3 = 1526;
    }

    // s1 ← (s1 << 13) ^ ((((s1 >> 9) ^ s1) >> 6) & 0x1FFF), and likewise s2
    // (20; 2, 7; 0xFFFFF) and s3 (17; 6, 8; 0x1FFFF). The inner shift is
    // distributed over the xor (the same bits): both shifts then run at once,
    // which shortens each word's step-to-step chain from five operations to four.
    uint32_t next() {
        s1 = (s1 << 13) ^ (((s1 >> 15) ^ (s1 >> 6)) & 0x1FFFu);
        s2 = (s2 << 20) ^ (((s2 >> 9) ^ (s2 >> 7)) & 0xFFFFFu);
        s3 = (s3 << 17) ^ (((s3 >> 14) ^ (s3 >> 8)) & 0x1FFFFu);
        return s1 ^ s2 ^ s3;
    }
};

}  // namespace vexal
