// Builds and parses the stored forms of programs byte by byte, written here
// from the documented layout and independent of the plug-in's own code: the
// host chunk, bank and program state blocks, the legacy chunk and the legacy
// blocks, in either byte order.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ExpectedFactory.h"

namespace testsupport {

constexpr uint32_t kOwnerId = 0x5A567678;  // "ZVvx"

struct Program {
    std::string name;  // at most 24 bytes, stored zero-padded
    std::array<float, 26> values{};
    bool operator==(const Program&) const = default;
};

inline std::vector<Program> factoryBank() {
    std::vector<Program> bank(24);
    for (int k = 0; k < 24; ++k) {
        bank[k].name = kExpectedFactory[k].name;
        for (int c = 0; c < 15; ++c) bank[k].values[kVaryingIndex[c]] = kExpectedFactory[k].varying[c];
        for (const auto& common : kCommonValues) bank[k].values[common.index] = common.value;
    }
    return bank;
}

// Appends fields in little-endian (native here) or big-endian order.
class ByteWriter {
public:
    explicit ByteWriter(bool bigEndian = false) : big(bigEndian) {}
    ByteWriter& u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            const int shift = big ? 24 - 8 * i : 8 * i;
            bytes.push_back(static_cast<uint8_t>(v >> shift));
        }
        return *this;
    }
    ByteWriter& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
    ByteWriter& f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    ByteWriter& byte(uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    ByteWriter& name24(const std::string& name) {
        for (size_t i = 0; i < 24; ++i) bytes.push_back(i < name.size() ? name[i] : 0);
        return *this;
    }
    ByteWriter& zeros(size_t n) {
        bytes.insert(bytes.end(), n, 0);
        return *this;
    }
    ByteWriter& append(const std::vector<uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
    bool big;
    std::vector<uint8_t> bytes;
};

// A state block assembled from records; counts follow the records unless overridden.
class BlockBuilder {
public:
    BlockBuilder(uint8_t kind, bool bigEndian = false) : kind(kind), records(bigEndian) {}
    BlockBuilder& name(int32_t programIndex, const std::string& text) {
        records.u32(0).u32(156).i32(programIndex).name24(text).zeros(132);
        ++count;
        return *this;
    }
    BlockBuilder& parameter(int32_t programIndex, uint32_t index, float value) {
        records.u32(1).u32(20).i32(programIndex).u32(index).u32(0).u32(0).f32(value).f32(0.0f);
        ++count;
        return *this;
    }
    BlockBuilder& raw(uint32_t type, uint32_t payloadSize, int32_t programIndex,
                      const std::vector<uint8_t>& payload) {
        records.u32(type).u32(payloadSize).i32(programIndex);
        records.bytes.insert(records.bytes.end(), payload.begin(), payload.end());
        ++count;
        return *this;
    }
    BlockBuilder& program(int32_t programIndex, const Program& p) {
        name(programIndex, p.name);
        for (uint32_t i = 0; i < 26; ++i) parameter(programIndex, i, p.values[i]);
        return *this;
    }
    std::vector<uint8_t> build() const {
        ByteWriter w(records.big);
        w.u32(ownerId).byte(kind).i32(1).i32(26);
        w.i32(recordCount.value_or(count));
        w.i32(currentProgram);
        w.i32(recordBytes.value_or(static_cast<int32_t>(records.bytes.size())));
        w.zeros(16);
        return w.append(records.bytes).bytes;
    }
    uint8_t kind;
    uint32_t ownerId = kOwnerId;
    int32_t currentProgram = 0;
    std::optional<int32_t> recordCount;  // default: as many as were added
    std::optional<int32_t> recordBytes;  // default: the records' size
    int32_t count = 0;
    ByteWriter records;
};

inline std::vector<uint8_t> bankBlock(const std::vector<Program>& bank, int32_t current,
                                      bool bigEndian = false) {
    BlockBuilder b(0x38, bigEndian);
    b.currentProgram = current;
    for (int k = 0; k < static_cast<int>(bank.size()); ++k) b.program(k, bank[k]);
    return b.build();
}

inline std::vector<uint8_t> programBlock(const Program& p, bool bigEndian = false) {
    BlockBuilder b(0x22, bigEndian);
    b.program(0, p);
    return b.build();
}

inline std::vector<uint8_t> chunkOf(const std::vector<uint8_t>& block, bool bigEndian = false,
                                    uint32_t formatWord = 0x02000000) {
    ByteWriter w(bigEndian);
    w.u32(formatWord).u32(kOwnerId);
    return w.append(block).bytes;
}

// Legacy chunk: head, then images of a name and valueCount values each.
inline std::vector<uint8_t> legacyChunk(const std::vector<Program>& images, int valueCount,
                                        int32_t selected, bool bigEndian = false) {
    ByteWriter w(bigEndian);
    w.u32(0x01000000).u32(kOwnerId).i32(static_cast<int32_t>(images.size())).i32(selected).zeros(16);
    for (const Program& p : images) {
        w.name24(p.name);
        for (int j = 0; j < valueCount; ++j) w.f32(j < 26 ? p.values[j] : 0.5f);
    }
    return w.bytes;
}

inline std::vector<uint8_t> legacyProgramBlock(const Program& p, int valueCount, bool bigEndian = false) {
    ByteWriter w(bigEndian);
    w.u32(kOwnerId).byte(0x21).name24(p.name);
    for (int j = 0; j < valueCount; ++j) w.f32(j < 26 ? p.values[j] : 0.5f);
    return w.bytes;
}

inline std::vector<uint8_t> legacyBankBlock(const std::vector<Program>& bank, int valueCount,
                                            bool bigEndian = false) {
    ByteWriter w(bigEndian);
    w.u32(kOwnerId).byte(0x37);
    for (const Program& p : bank) {
        w.name24(p.name);
        for (int j = 0; j < valueCount; ++j) w.f32(j < 26 ? p.values[j] : 0.5f);
    }
    return w.bytes;
}

// Reads the 24 programs and the selected one back from a little-endian bank
// chunk as the plug-in writes it (name record, then 26 parameter records).
struct ParsedBank {
    std::vector<Program> programs = std::vector<Program>(24);
    int32_t currentProgram = -1;
};

inline uint32_t le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline ParsedBank parseBankChunk(const uint8_t* chunk, size_t size) {
    ParsedBank parsed;
    if (size < 49) return parsed;
    parsed.currentProgram = static_cast<int32_t>(le32(chunk + 8 + 17));
    const uint32_t count = le32(chunk + 8 + 13);
    size_t pos = 49;
    for (uint32_t r = 0; r < count && pos + 12 <= size; ++r) {
        const uint32_t type = le32(chunk + pos), payload = le32(chunk + pos + 4);
        const uint32_t program = le32(chunk + pos + 8);
        if (pos + 12 + payload > size || program >= 24) break;
        const uint8_t* body = chunk + pos + 12;
        if (type == 0)
            parsed.programs[program].name.assign(reinterpret_cast<const char*>(body),
                                                 strnlen(reinterpret_cast<const char*>(body), 24));
        else if (type == 1 && le32(body) < 26) {
            const uint32_t bits = le32(body + 12);
            std::memcpy(&parsed.programs[program].values[le32(body)], &bits, 4);
        }
        pos += 12 + payload;
    }
    return parsed;
}

}  // namespace testsupport
