// A delay line (or ring) of left/right pairs on storage carved from
// EngineState's one allocation: the pairs and the slot of the next write.
// The length in use is the caller's (it follows the rate class); the
// capacity covers the largest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vexal {

struct PairDelayLine {
    double* pairs = nullptr;  // capacity pairs, left at the even index
    int32_t index = 0;        // slot of the next write
    int32_t capacity = 0;

    static constexpr size_t doublesFor(int32_t capacity) { return 2 * static_cast<size_t>(capacity); }

    void attach(double* storage, int32_t capacityPairs) {
        pairs = storage;
        capacity = capacityPairs;
        index = 0;
    }
    // Every slot to 0, writing from slot 0.
    void clear() {
        std::memset(pairs, 0, sizeof(double) * doublesFor(capacity));
        index = 0;
    }
    // A position beyond the length in use could only come from a caller's
    // mistake: it restarts at 0.
    void keepWithin(int32_t length) {
        if (index >= length) index = 0;
    }
    // One step of a line of `length` pairs: returns the pair written `length`
    // steps earlier and stores `value` in its place.
    template <class V>
    V exchange(int32_t length, V value) {
        double* slot = pairs + 2 * index;
        const V out = V::load(slot);
        value.store(slot);
        if (++index >= length) index = 0;
        return out;
    }
};

}  // namespace vexal
