// The stored form of programs: the host chunk head, the 41-byte state block
// header with its typed records, and the legacy layouts that are still read.
// Fields are written in the writer's byte order; a reader that meets the
// byte-reversed owner id reverses every 32-bit field it reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexal {

constexpr int32_t kChunkHeadBytes = 8;
constexpr int32_t kFormatWordBank = 0x02000000;
constexpr int32_t kFormatWordLegacy = 0x01000000;
constexpr int32_t kChunkBufferBytes = 24049;          // head + bank block of 26 parameters
constexpr int32_t kChunkScratchBytes = 32 + 24 * 128;  // 3104
constexpr int32_t kLegacyChunkHeadBytes = 32;

constexpr int32_t kBlockHeaderBytes = 41;
constexpr uint8_t kBlockKindLegacyProgram = 0x21;  // '!'
constexpr uint8_t kBlockKindProgram = 0x22;        // '"'
constexpr uint8_t kBlockKindLegacyBank = 0x37;     // '7'
constexpr uint8_t kBlockKindBank = 0x38;           // '8'
constexpr int32_t kLegacyBlockHeadBytes = 5;       // owner id and kind

constexpr int32_t kRecordHeadBytes = 12;
constexpr uint32_t kRecordTypeName = 0;
constexpr uint32_t kRecordTypeParameter = 1;
constexpr uint32_t kNameRecordPayload = 156;
constexpr uint32_t kParameterRecordPayload = 20;
constexpr uint32_t kParameterValueOffset = 12;  // within a parameter record's payload

// Files and stored values larger than this are refused without being read.
constexpr size_t kMaxStoredBlockBytes = 1u << 20;

#pragma pack(push, 1)
struct StateBlockHeader {
    int32_t ownerId;
    uint8_t blockKind;
    int32_t formatVersion;
    int32_t parameterCount;
    int32_t recordCount;
    int32_t currentProgram;
    int32_t recordBytes;
    int32_t reserved[4];
};
#pragma pack(pop)
static_assert(sizeof(StateBlockHeader) == kBlockHeaderBytes);

inline uint32_t swap32(uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}
inline int32_t swap32(int32_t v) { return static_cast<int32_t>(swap32(static_cast<uint32_t>(v))); }

// Reverses the four bytes of the field at p in place.
inline void swap32InPlace(void* p) {
    auto* b = static_cast<uint8_t*>(p);
    uint8_t t = b[0];
    b[0] = b[3];
    b[3] = t;
    t = b[1];
    b[1] = b[2];
    b[2] = t;
}

// Reads a native 32-bit field at any alignment, reversed when asked.
inline uint32_t readU32(const uint8_t* p, bool reversed) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return reversed ? swap32(v) : v;
}
inline int32_t readI32(const uint8_t* p, bool reversed) {
    return static_cast<int32_t>(readU32(p, reversed));
}
inline float readF32(const uint8_t* p, bool reversed) {
    const uint32_t bits = readU32(p, reversed);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}
inline void writeU32(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
inline void writeF32(uint8_t* p, float v) { std::memcpy(p, &v, 4); }

// The nine 32-bit fields behind the owner id and the kind byte.
inline void swapBlockHeader(StateBlockHeader& header) {
    auto* bytes = reinterpret_cast<uint8_t*>(&header);
    for (int32_t offset = 5; offset < kBlockHeaderBytes; offset += 4) swap32InPlace(bytes + offset);
}

inline StateBlockHeader readBlockHeader(const uint8_t* bytes, bool reversed) {
    StateBlockHeader header;
    std::memcpy(&header, bytes, sizeof header);
    if (reversed) swapBlockHeader(header);
    return header;
}

// A value a program may hold: 0..1 and a number.
inline bool isProgramValue(float v) { return v >= 0.0f && v <= 1.0f; }

}  // namespace vexal
