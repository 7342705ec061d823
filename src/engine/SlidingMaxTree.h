// Exact maximum of the last W values of each channel (the largest value itself,
// chosen by comparison, never recomputed by arithmetic). Both channels share
// the write position, so the values are kept as left/right pairs.
//
// Storage (4·capacity + 2 pairs' worth of doubles, owned by EngineState):
//   leaf[position]   the W most recent pairs; position runs 0 … W−1 and wraps
//   suffix[j]        max(leaf[j … W−1]) of the last completed run of W pairs,
//                    suffix[W] = 0
// and a running maximum `prefix` of the current run. A window ending at
// position p is the current run's pairs 0 … p and the previous run's p+1 …
// W−1, so its maximum is max(prefix, suffix[p+1]) (van Herk / Gil-Werman):
// about six comparisons per value whatever W, none of them a branch, and the
// running maxima take one step per four values, not one per value.
// Leaves are never below 0 (detector values are floored at 1e-5), so 0
// stands for "nothing yet" after a clear.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ChannelPair.h"

namespace vexal {

class SlidingMaxTree {
public:
    static constexpr size_t doublesFor(int32_t capacity) { return 4 * size_t(capacity) + 8; }

    // storage: doublesFor(capacity) doubles, 16-byte aligned.
    void attach(double* storage, int32_t capacity) {
        leaf = storage;
        suffix = storage + 2 * capacity;
        this->capacity = capacity;
        width = capacity;
    }
    // The window width W (up to the capacity). Changed only together with a
    // clear, under the process lock.
    void setWidth(int32_t w) { width = w; }
    int32_t size() const { return width; }

    void clear() {
        for (size_t i = 0; i < doublesFor(capacity); ++i) leaf[i] = 0.0;
        prefix[0] = prefix[1] = 0.0;
    }

    // The per-sample reference: writes the pair at `position` and scans all W
    // leaves. Leaves only: a state driven this way is not continued by pushRun.
    ScalarPair push(ScalarPair h, int32_t position) {
        h.store(leaf + 2 * position);
        ScalarPair m = ScalarPair::both(0.0);
        for (int32_t j = 0; j < width; ++j) m = exactMax(m, ScalarPair::load(leaf + 2 * j));
        return m;
    }

    // n pairs from `in` written from `position` on (advanced and wrapped);
    // roots receives each window's maximum pair.
    template <class V>
    void pushRun(const double* in, double* roots, int32_t n, int32_t& position) {
        V run = V::load(prefix);
        int32_t p = position;
        double* const leaves = leaf;  // locals: the stores below cannot move them
        const double* const suffixes = suffix;
        for (int32_t done = 0; done < n;) {
            const int32_t count = n - done < width - p ? n - done : width - p;
            const double* from = in + 2 * done;
            double* to = roots + 2 * done;
            const double* after = suffixes + 2 * (p + 1);
            int32_t i = 0;
            // Four frames at a time: their prefix maxima among themselves
            // first, so that the running maximum takes one step per four
            // frames, not one per frame (a maximum picks one of its operands:
            // any grouping gives the same bits).
            for (; i + 4 <= count; i += 4) {
                const V h0 = V::load(from + 2 * i), h1 = V::load(from + 2 * i + 2);
                const V h2 = V::load(from + 2 * i + 4), h3 = V::load(from + 2 * i + 6);
                h0.store(leaves + 2 * (p + i));
                h1.store(leaves + 2 * (p + i) + 2);
                h2.store(leaves + 2 * (p + i) + 4);
                h3.store(leaves + 2 * (p + i) + 6);
                const V m01 = exactMax(h0, h1);
                const V m012 = exactMax(m01, h2);
                const V m0123 = exactMax(m01, exactMax(h2, h3));
                exactMax(exactMax(run, h0), V::load(after + 2 * i)).store(to + 2 * i);
                exactMax(exactMax(run, m01), V::load(after + 2 * i + 2)).store(to + 2 * i + 2);
                exactMax(exactMax(run, m012), V::load(after + 2 * i + 4)).store(to + 2 * i + 4);
                run = exactMax(run, m0123);
                exactMax(run, V::load(after + 2 * i + 6)).store(to + 2 * i + 6);
            }
            for (; i < count; ++i) {
                const V h = V::load(from + 2 * i);
                h.store(leaves + 2 * (p + i));
                run = exactMax(run, h);
                exactMax(run, V::load(after + 2 * i)).store(to + 2 * i);
            }
            p += count;
            done += count;
            if (p == width) {
                completeRun<V>();
                run = V::both(0.0);
                p = 0;
            }
        }
        run.store(prefix);
        position = p;
    }

    const double* leaves() const { return leaf; }

private:
    template <class V>
    void completeRun() {
        V m = V::both(0.0);
        const double* const leaves = leaf;  // locals: the stores cannot move them
        double* const suffixes = suffix;
        int32_t j = width - 1;
        // Four leaves at a time, as in pushRun: one step of the running
        // maximum per four leaves.
        for (; j >= 3; j -= 4) {
            const V a = V::load(leaves + 2 * j), b = V::load(leaves + 2 * j - 2);
            const V c = V::load(leaves + 2 * j - 4), d = V::load(leaves + 2 * j - 6);
            const V ab = exactMax(a, b);
            exactMax(m, a).store(suffixes + 2 * j);
            exactMax(m, ab).store(suffixes + 2 * j - 2);
            exactMax(m, exactMax(ab, c)).store(suffixes + 2 * j - 4);
            m = exactMax(m, exactMax(ab, exactMax(c, d)));
            m.store(suffixes + 2 * j - 6);
        }
        for (; j >= 0; --j) {
            m = exactMax(m, V::load(leaves + 2 * j));
            m.store(suffixes + 2 * j);
        }
    }

    double* leaf = nullptr;
    double* suffix = nullptr;
    alignas(16) double prefix[2] = {0.0, 0.0};
    int32_t width = 1;
    int32_t capacity = 1;
};

}  // namespace vexal
