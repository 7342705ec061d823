#include "CPresetSystemEffect.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <new>

#include "FactoryPrograms.h"
#include "ProgramNameText.h"
#include "StateBlock.h"

namespace vexal {

void storeProgramName(ProgramRecord& record, const char* name) {
    // The cut to 23 bytes keeps whole characters of a UTF-8 name.
    const size_t length = textPrefixBytes(name, kProgramNameBytes - 1);
    std::memset(record.name, 0, kProgramNameBytes);
    std::memcpy(record.name, name, length);
}

void copyProgramName(const ProgramRecord& record, char* text) {
    std::memcpy(text, record.name, kProgramNameBytes);
    text[kProgramNameBytes] = 0;
}

namespace {
// What the host is given: the name up to its first zero, at most 23 characters,
// and the zero; 24 bytes at most, whatever the stored record holds.
void copyProgramNameForHost(const ProgramRecord& record, char* text) {
    const size_t length = strnlen(record.name, kProgramNameBytes - 1);
    std::memcpy(text, record.name, length);
    text[length] = 0;
}
}  // namespace

CPresetSystemEffect::CPresetSystemEffect(vst::HostCallback hostCallback, int32_t numParams)
    : AudioEffectX(hostCallback, 1, numParams) {
    programsAreChunks(true);
    chunkScratch = new (std::nothrow) uint8_t[kChunkScratchBytes]();
    chunkBuffer = new (std::nothrow) uint8_t[kChunkBufferBytes]();
    if (chunkBuffer) chunkBufferSize = kChunkBufferBytes;
    programs = new (std::nothrow) ProgramRecord[kNumPrograms]();
    store = std::make_unique<PresetStore>(*this);
    loadFactoryPrograms();
    currentProgram = 0;
}

CPresetSystemEffect::~CPresetSystemEffect() {
    // The editor goes first, then the store (which writes the remembered paths).
    if (editorObject) {
        setEditor(nullptr);
        delete editorObject;
        editorObject = nullptr;
    }
    store.reset();
    delete[] programs;
    delete[] chunkBuffer;
    delete[] chunkScratch;
}

void CPresetSystemEffect::attachPresetEditor(EditorLink* newEditor) {
    editorObject = newEditor;
    setEditor(newEditor ? newEditor->hostEditor() : nullptr);
}

// --- parameters -----------------------------------------------------------------

// The write-back runs on whatever thread the host sets parameters from, often
// two at once: each value is a relaxed atomic store into the plain record.
void CPresetSystemEffect::setParameter(int32_t index, float value) {
    if (!programs || static_cast<uint32_t>(index) >= static_cast<uint32_t>(kProgramValues)) return;
    const int32_t program = std::atomic_ref<int32_t>(currentProgram).load(std::memory_order_relaxed);
    std::atomic_ref<float>(programs[program].values[index]).store(value, std::memory_order_relaxed);
}

float CPresetSystemEffect::getParameter(int32_t index) {
    if (!programs || static_cast<uint32_t>(index) >= static_cast<uint32_t>(kProgramValues))
        return -1.0f;
    const int32_t program = std::atomic_ref<int32_t>(currentProgram).load(std::memory_order_relaxed);
    return std::atomic_ref<float>(programs[program].values[index]).load(std::memory_order_relaxed);
}

// --- program names ---------------------------------------------------------------

void CPresetSystemEffect::setProgramName(char* name) {
    char buffer[kProgramNameBytes + 1] = {};
    std::memcpy(buffer, name, strnlen(name, kProgramNameBytes));
    curProgram = 0;
    if (programs) storeProgramName(programs[currentProgram], buffer);
    if (editorObject) editorObject->showProgramName(buffer);
}

void CPresetSystemEffect::getProgramName(char* name) {
    if (programs)
        copyProgramNameForHost(programs[currentProgram], name);
    else
        name[0] = 0;
}

bool CPresetSystemEffect::getProgramNameIndexed(int32_t, int32_t index, char* text) {
    if (!programs || index < 0 || index >= kNumPrograms) return false;
    copyProgramNameForHost(programs[index], text);
    return true;
}

void CPresetSystemEffect::renameCurrentProgram(const char* name) {
    curProgram = 0;
    if (name && programs) {
        char buffer[kProgramNameBytes + 1] = {};
        std::memcpy(buffer, name, strnlen(name, kProgramNameBytes));
        storeProgramName(programs[currentProgram], buffer);
    }
    updateDisplay();
}

// --- selection and set-up ------------------------------------------------------------

void CPresetSystemEffect::selectProgram(int32_t index) {
    if (!programs) return;
    applyingProgram = true;
    curProgram = 0;
    std::atomic_ref<int32_t>(currentProgram).store(index, std::memory_order_relaxed);
    // Index order: parameter 25 (the old-layout conversion) comes last.
    for (int32_t i = 0; i < kProgramValues; ++i) setParameter(i, programs[index].values[i]);
    updateDisplay();
    beginEdit(0);
    endEdit(0);
    applyingProgram = false;
}

int32_t CPresetSystemEffect::getPresetOwnerId() { return cEffect.uniqueID; }

void CPresetSystemEffect::resetProgramToTemplate(int32_t index) { programs[index] = programTemplate; }

void CPresetSystemEffect::finishPresetSetup() {
    if (programs) programTemplate = programs[0];
    store->loadStartupState();
}

void CPresetSystemEffect::loadFactoryPrograms() {
    if (!programs) return;
    for (int32_t k = 0; k < kNumPrograms; ++k) {
        const FactoryProgram& factory = factoryProgram(k);
        char buffer[kProgramNameBytes + 1] = {};
        std::strncpy(buffer, factory.name, kProgramNameBytes);
        storeProgramName(programs[k], buffer);
        std::copy(std::begin(factory.values), std::end(factory.values), programs[k].values);
    }
}

// --- host chunk ----------------------------------------------------------------------

int32_t CPresetSystemEffect::getChunk(void** data, bool) {
    if (!chunkBuffer || !data || !programs) return 0;
    std::memset(chunkBuffer, 0, static_cast<size_t>(chunkBufferSize));
    writeU32(chunkBuffer, static_cast<uint32_t>(kFormatWordBank));
    writeU32(chunkBuffer + 4, static_cast<uint32_t>(getPresetOwnerId()));
    uint8_t* block = nullptr;
    const int32_t size = store->buildBankBlock(&block);
    if (!block) return 0;
    if (size <= 0 || size > chunkBufferSize - kChunkHeadBytes) {
        delete[] block;
        return 0;
    }
    std::memcpy(chunkBuffer + kChunkHeadBytes, block, static_cast<size_t>(size));
    delete[] block;
    *data = chunkBuffer;
    return size + kChunkHeadBytes;
}

// Answers 0 when the chunk was loaded, −1 when it was refused; a refused
// chunk changes nothing.
int32_t CPresetSystemEffect::setChunk(void* data, int32_t byteSize, bool) {
    if (!chunkBuffer || !chunkScratch || !data || !programs) return -1;
    // The head is all a chunk of fewer than 8 bytes could not hold.
    if (byteSize < kChunkHeadBytes) return -1;
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::memcpy(chunkScratch, bytes, kChunkHeadBytes);

    const int32_t id = getPresetOwnerId();
    const int32_t owner = readI32(chunkScratch + 4, false);
    bool reversed;
    if (owner == id)
        reversed = false;
    else if (owner == swap32(id))
        reversed = true;
    else
        return -1;

    const int32_t formatWord = readI32(chunkScratch, reversed);
    if (formatWord == kFormatWordLegacy) return setLegacyChunk(bytes, byteSize, reversed);
    if (formatWord != kFormatWordBank) return -1;

    // The block is bounded by byteSize, although a well-formed chunk never needs it.
    if (byteSize < kChunkHeadBytes + kBlockHeaderBytes) return -1;
    const StateBlockHeader header = readBlockHeader(bytes + kChunkHeadBytes, reversed);
    const uint8_t* records = bytes + kChunkHeadBytes + kBlockHeaderBytes;
    const size_t recordsSize = static_cast<size_t>(byteSize - kChunkHeadBytes - kBlockHeaderBytes);
    return store->loadBankRecords(records, recordsSize, header, reversed) ? 0 : -1;
}

// Format 1: a 32-byte head (format word, owner id, program count, selected
// program, 16 reserved bytes) and program images of 24 name bytes and float32
// values. A count of 0 or less, images shorter than a name, or a value that
// is not a number refuse the chunk; values outside 0..1 are limited to it.
int32_t CPresetSystemEffect::setLegacyChunk(const uint8_t* data, int32_t byteSize, bool reversed) {
    if (!chunkScratch || !data || byteSize < kLegacyChunkHeadBytes) return -1;
    std::memcpy(chunkScratch, data, kLegacyChunkHeadBytes);
    if (reversed)
        for (int32_t offset : {0, 8, 12, 16, 20, 24, 28}) swap32InPlace(chunkScratch + offset);
    const int32_t count = readI32(chunkScratch + 8, false);
    const int32_t selected = readI32(chunkScratch + 12, false);
    if (count <= 0) return -1;
    const int32_t image = (byteSize - kLegacyChunkHeadBytes) / count;
    if (image < kProgramNameBytes) return -1;
    const int32_t valueCount = (image - kProgramNameBytes) / 4;
    const int32_t stride = kProgramNameBytes + 4 * valueCount;  // count images fit in byteSize
    const int32_t programsToLoad = std::min(count, kNumPrograms);
    const int32_t valuesToLoad = std::min(valueCount, kProgramValues);

    std::array<ProgramRecord, kNumPrograms> before;
    std::copy(programs, programs + kNumPrograms, before.begin());
    for (int32_t i = 0; i < programsToLoad; ++i) {
        const uint8_t* img = data + kLegacyChunkHeadBytes + static_cast<size_t>(i) * stride;
        resetProgramToTemplate(i);
        std::memcpy(programs[i].name, img, kProgramNameBytes);
        for (int32_t j = 0; j < valuesToLoad; ++j) {
            if (isParameterSkippedOnLoad(j)) continue;
            const float v = readF32(img + kProgramNameBytes + 4 * j, reversed);
            if (std::isnan(v)) {
                std::copy(before.begin(), before.end(), programs);
                return -1;
            }
            programs[i].values[j] = std::clamp(v, 0.0f, 1.0f);
        }
    }
    selectProgram(selected >= 0 && selected < kNumPrograms ? selected : 0);
    return 0;
}

}  // namespace vexal
