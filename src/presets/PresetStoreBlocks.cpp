// State blocks: builders, loaders and the stored-block dispatch.
#include "PresetStore.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "CPresetSystemEffect.h"
#include "EditorLink.h"

namespace vexal {

namespace {

// One record's head and payload, bounded by the data that holds it.
struct RecordView {
    uint32_t type;
    uint32_t payloadSize;
    int32_t programIndex;
    const uint8_t* payload;
};

// Reads the record at pos; false when its head or payload runs past size.
bool readRecord(const uint8_t* records, size_t size, size_t pos, bool reversed, RecordView& r) {
    if (pos > size || size - pos < static_cast<size_t>(kRecordHeadBytes)) return false;
    r.type = readU32(records + pos, reversed);
    r.payloadSize = readU32(records + pos + 4, reversed);
    r.programIndex = readI32(records + pos + 8, reversed);
    r.payload = records + pos + kRecordHeadBytes;
    return r.payloadSize <= size - pos - kRecordHeadBytes;
}

// A record too short for the fields its type reads is malformed.
bool holdsItsFields(const RecordView& r) {
    if (r.type == kRecordTypeName) return r.payloadSize >= static_cast<uint32_t>(kProgramNameBytes);
    if (r.type == kRecordTypeParameter) return r.payloadSize >= kParameterValueOffset + 4;
    return true;
}

void writeHeader(uint8_t* block, int32_t ownerId, uint8_t kind, int32_t recordCount,
                 int32_t currentProgram, int32_t recordBytes) {
    StateBlockHeader header{};
    header.ownerId = ownerId;
    header.blockKind = kind;
    header.formatVersion = 1;
    header.parameterCount = kProgramValues;
    header.recordCount = recordCount;
    header.currentProgram = currentProgram;
    header.recordBytes = recordBytes;
    std::memcpy(block, &header, sizeof header);
}

uint8_t* writeNameRecord(uint8_t* p, int32_t programIndex, const ProgramRecord& program) {
    writeU32(p, kRecordTypeName);
    writeU32(p + 4, kNameRecordPayload);
    writeU32(p + 8, static_cast<uint32_t>(programIndex));
    std::memcpy(p + kRecordHeadBytes, program.name, kProgramNameBytes);
    return p + kRecordHeadBytes + kNameRecordPayload;
}

uint8_t* writeParameterRecord(uint8_t* p, int32_t programIndex, int32_t index, float value) {
    writeU32(p, kRecordTypeParameter);
    writeU32(p + 4, kParameterRecordPayload);
    writeU32(p + 8, static_cast<uint32_t>(programIndex));
    writeU32(p + kRecordHeadBytes, static_cast<uint32_t>(index));
    writeF32(p + kRecordHeadBytes + kParameterValueOffset, value);
    return p + kRecordHeadBytes + kParameterRecordPayload;
}

}  // namespace

// --- builders --------------------------------------------------------------------

int32_t PresetStore::buildBankBlock(uint8_t** block) {
    *block = nullptr;
    const ProgramRecord* programs = owner.programStore();
    if (!programs) return 0;
    int32_t stored = 0;
    for (int32_t i = 0; i < kProgramValues; ++i)
        if (!owner.isParameterSkippedOnSave(i)) ++stored;
    const int32_t recordCount = kNumPrograms * (1 + stored);
    const int32_t recordBytes =
        kNumPrograms * (kRecordHeadBytes + static_cast<int32_t>(kNameRecordPayload) +
                        stored * (kRecordHeadBytes + static_cast<int32_t>(kParameterRecordPayload)));
    const int32_t size = kBlockHeaderBytes + recordBytes;
    auto* bytes = new (std::nothrow) uint8_t[static_cast<size_t>(size)]();
    if (!bytes) return 0;
    writeHeader(bytes, owner.getPresetOwnerId(), kBlockKindBank, recordCount,
                owner.getCurrentProgram(), recordBytes);
    uint8_t* p = bytes + kBlockHeaderBytes;
    for (int32_t k = 0; k < kNumPrograms; ++k) {
        p = writeNameRecord(p, k, programs[k]);
        for (int32_t i = 0; i < kProgramValues; ++i)
            if (!owner.isParameterSkippedOnSave(i))
                p = writeParameterRecord(p, k, i, programs[k].values[i]);
    }
    *block = bytes;
    return size;
}

int32_t PresetStore::buildProgramBlock(uint8_t** block) {
    *block = nullptr;
    const ProgramRecord* programs = owner.programStore();
    if (!programs) return 0;
    const ProgramRecord& program = programs[owner.getCurrentProgram()];
    int32_t stored = 0;
    for (int32_t i = 0; i < kProgramValues; ++i)
        if (!owner.isParameterSkippedOnSave(i)) ++stored;
    const int32_t recordBytes =
        kRecordHeadBytes + static_cast<int32_t>(kNameRecordPayload) +
        stored * (kRecordHeadBytes + static_cast<int32_t>(kParameterRecordPayload));
    const int32_t size = kBlockHeaderBytes + recordBytes;
    auto* bytes = new (std::nothrow) uint8_t[static_cast<size_t>(size)]();
    if (!bytes) return 0;
    writeHeader(bytes, owner.getPresetOwnerId(), kBlockKindProgram, 1 + stored, 0, recordBytes);
    uint8_t* p = writeNameRecord(bytes + kBlockHeaderBytes, 0, program);
    for (int32_t i = 0; i < kProgramValues; ++i)
        if (!owner.isParameterSkippedOnSave(i)) p = writeParameterRecord(p, 0, i, program.values[i]);
    *block = bytes;
    return size;
}

void PresetStore::showProgramName(const char* name) {
    if (EditorLink* editor = owner.presetEditor()) editor->showProgramName(name);
}

void PresetStore::showBankInMenu(const bool* named, int32_t selected) {
    if (EditorLink* editor = owner.presetEditor()) editor->showBankInMenu(named, selected);
}

// --- loaders -----------------------------------------------------------------------

bool PresetStore::loadBankRecords(const uint8_t* records, size_t size,
                                          const StateBlockHeader& header, bool reversed) {
    ProgramRecord* programs = owner.programStore();
    if (!programs || !records || header.recordCount < 0) return false;
    const int32_t selected =
        header.currentProgram >= 0 && header.currentProgram < kNumPrograms ? header.currentProgram : 0;

    std::array<ProgramRecord, kNumPrograms> before;
    std::copy(programs, programs + kNumPrograms, before.begin());
    bool named[kNumPrograms] = {};
    size_t pos = 0;
    for (int32_t k = 0; k < header.recordCount; ++k) {
        RecordView r;
        bool ok = readRecord(records, size, pos, reversed, r) && holdsItsFields(r);
        if (ok && r.programIndex >= 0 && r.programIndex < kNumPrograms) {
            ProgramRecord& program = programs[r.programIndex];
            if (r.type == kRecordTypeName) {
                owner.resetProgramToTemplate(r.programIndex);
                std::memcpy(program.name, r.payload, kProgramNameBytes);
                named[r.programIndex] = true;
            } else if (r.type == kRecordTypeParameter) {
                const uint32_t index = readU32(r.payload, reversed);
                const float value = readF32(r.payload + kParameterValueOffset, reversed);
                if (index < static_cast<uint32_t>(kProgramValues)) {
                    ok = isProgramValue(value);
                    if (ok) program.values[index] = value;
                }
            }
        }
        if (!ok) {
            std::copy(before.begin(), before.end(), programs);
            return false;
        }
        pos += kRecordHeadBytes + static_cast<size_t>(r.payloadSize);
    }
    showBankInMenu(named, selected);
    owner.selectProgram(selected);
    return true;
}

bool PresetStore::applyProgramRecords(const uint8_t* records, size_t size, int32_t count,
                                              bool reversed, int32_t c) {
    ProgramRecord& program = owner.programStore()[c];
    size_t pos = 0;
    for (int32_t k = 0; k < count; ++k) {
        RecordView r;
        if (!readRecord(records, size, pos, reversed, r) || !holdsItsFields(r)) return false;
        if (r.type == kRecordTypeName) {
            std::memcpy(program.name, r.payload, kProgramNameBytes);
        } else if (r.type == kRecordTypeParameter) {
            const uint32_t index = readU32(r.payload, reversed);
            const float value = readF32(r.payload + kParameterValueOffset, reversed);
            if (index < static_cast<uint32_t>(kProgramValues)) {
                if (!isProgramValue(value)) return false;
                program.values[index] = value;
            }
        }
        pos += kRecordHeadBytes + static_cast<size_t>(r.payloadSize);
    }
    return true;
}

void PresetStore::finishProgramLoad(int32_t c) {
    char name[kProgramNameBytes + 1];
    copyProgramName(owner.program(c), name);
    showProgramName(name);
    owner.renameCurrentProgram(name);
    owner.selectProgram(c);
}

bool PresetStore::loadProgramRecords(const uint8_t* records, size_t size,
                                             const StateBlockHeader& header, bool reversed) {
    ProgramRecord* programs = owner.programStore();
    if (!programs || !records || header.recordCount < 0) return false;
    const int32_t c = owner.getCurrentProgram();
    const ProgramRecord before = programs[c];
    owner.resetProgramToTemplate(c);
    if (!applyProgramRecords(records, size, header.recordCount, reversed, c)) {
        programs[c] = before;
        return false;
    }
    finishProgramLoad(c);
    return true;
}

bool PresetStore::readLegacyImage(const uint8_t* image, int32_t values, bool reversed,
                                          int32_t c) {
    ProgramRecord& program = owner.programStore()[c];
    owner.resetProgramToTemplate(c);
    std::memcpy(program.name, image, kProgramNameBytes);
    for (int32_t j = 0; j < values; ++j) {
        if (owner.isParameterSkippedOnLoad(j)) continue;
        const float v = readF32(image + kProgramNameBytes + 4 * j, reversed);
        if (!isProgramValue(v)) return false;
        program.values[j] = v;
    }
    return true;
}

bool PresetStore::loadLegacyProgram(const uint8_t* body, size_t size, bool reversed,
                                            int32_t valueCount) {
    ProgramRecord* programs = owner.programStore();
    if (!programs || !body) return false;
    const int32_t values = std::clamp(valueCount, 0, kProgramValues);
    if (size < static_cast<size_t>(kProgramNameBytes + 4 * values)) return false;
    const int32_t c = owner.getCurrentProgram();
    const ProgramRecord before = programs[c];
    if (!readLegacyImage(body, values, reversed, c)) {
        programs[c] = before;
        return false;
    }
    finishProgramLoad(c);
    return true;
}

bool PresetStore::loadLegacyBank(const uint8_t* images, size_t size, bool reversed,
                                         int32_t programCount, int32_t valuesPerImage) {
    ProgramRecord* programs = owner.programStore();
    if (!programs || !images || valuesPerImage < 0 || programCount <= 0) return false;
    const int32_t count = std::min(programCount, kNumPrograms);
    const size_t stride = static_cast<size_t>(kProgramNameBytes) + 4u * static_cast<size_t>(valuesPerImage);
    if (size / stride < static_cast<size_t>(count)) return false;
    const int32_t values = std::min(valuesPerImage, kProgramValues);

    std::array<ProgramRecord, kNumPrograms> before;
    std::copy(programs, programs + kNumPrograms, before.begin());
    for (int32_t i = 0; i < count; ++i) {
        const uint8_t* image = images + static_cast<size_t>(i) * stride;
        if (!readLegacyImage(image, values, reversed, i)) {
            std::copy(before.begin(), before.end(), programs);
            return false;
        }
    }
    bool named[kNumPrograms] = {};
    std::fill(named, named + count, true);
    showBankInMenu(named, 0);
    owner.selectProgram(0);
    return true;
}

// --- stored-block dispatch ------------------------------------------------------------

bool PresetStore::isOwnBlock(const uint8_t* data, size_t size, bool& reversed) {
    if (!data || size < static_cast<size_t>(kLegacyBlockHeadBytes)) return false;
    const int32_t id = owner.getPresetOwnerId();
    const int32_t first = readI32(data, false);
    if (first == swap32(id))
        reversed = true;
    else if (first == id)
        reversed = false;
    else
        return false;
    return true;
}

bool PresetStore::loadStoredBlock(const uint8_t* data, size_t size, BlockFamily family,
                                          bool invert, bool recordsAsAnnounced) {
    bool reversed = false;
    if (!isOwnBlock(data, size, reversed)) return false;
    if (invert) reversed = !reversed;
    const uint8_t kind = data[4];
    const bool bank = family == BlockFamily::bank;
    const uint8_t* body = data + kLegacyBlockHeadBytes;
    const size_t bodySize = size - kLegacyBlockHeadBytes;

    if (kind == (bank ? kBlockKindLegacyBank : kBlockKindLegacyProgram)) {
        if (!bank) {
            if (size < static_cast<size_t>(kLegacyBlockHeadBytes + kProgramNameBytes)) return false;
            const size_t n = (size - kLegacyBlockHeadBytes - kProgramNameBytes) / 4;
            return loadLegacyProgram(body, bodySize, reversed,
                                     static_cast<int32_t>(std::min<size_t>(n, kProgramValues)));
        }
        const size_t image = bodySize / kNumPrograms;
        if (image < static_cast<size_t>(kProgramNameBytes)) return false;
        const size_t n = (image - kProgramNameBytes) / 4;
        if (n > static_cast<size_t>(INT32_MAX)) return false;
        return loadLegacyBank(body, bodySize, reversed, kNumPrograms, static_cast<int32_t>(n));
    }
    if (kind != (bank ? kBlockKindBank : kBlockKindProgram)) return false;
    if (size < static_cast<size_t>(kBlockHeaderBytes)) return false;
    const StateBlockHeader header = readBlockHeader(data, reversed);
    const uint8_t* records = data + kBlockHeaderBytes;
    size_t recordsSize = size - kBlockHeaderBytes;
    if (recordsAsAnnounced) {
        // A file holds exactly what its header announces; a shorter one is refused.
        if (header.recordBytes < 0 || static_cast<size_t>(header.recordBytes) > recordsSize)
            return false;
        recordsSize = static_cast<size_t>(header.recordBytes);
    }
    return bank ? loadBankRecords(records, recordsSize, header, reversed)
                : loadProgramRecords(records, recordsSize, header, reversed);
}

}  // namespace vexal
