// Running maximum of the last W values: a binary tree of 2W doubles. Index 0
// holds a sentinel larger than any detector value, index 1 is the root, node i
// has children 2i and 2i+1, the leaves are W … 2W−1. A push walks up only as
// far as the maximum can change, usually one or two levels.
#pragma once

#include <cstdint>

#include "DspMath.h"

namespace vexal {

constexpr double kTreeSentinel = 1e10;

class SlidingMaxTree {
public:
    // nodes: storage for 2·capacity doubles (owned by EngineState).
    void attach(double* nodes, int32_t capacity) {
        tree = nodes;
        this->capacity = capacity;
        width = capacity;
    }
    // The window width W (a power of two up to the capacity). Changed only
    // together with a clear, under the process lock.
    void setWidth(int32_t w) { width = w; }
    int32_t size() const { return width; }

    // All nodes of the whole capacity 0, sentinel restored.
    void clear() {
        for (int32_t i = 0; i < 2 * capacity; ++i) tree[i] = 0.0;
        tree[0] = kTreeSentinel;
    }

    // Writes h at leaf `position` (shared by the two channels' trees) and
    // returns the window maximum.
    double push(double h, int32_t position) {
        int32_t i = width + position;
        const double old = tree[i];
        tree[i] = h;
        if (h > old) {
            while (h > tree[i ^ 1]) {
                i >>= 1;
                tree[i] = h;
            }
        } else if (old > tree[i ^ 1]) {
            do {
                i >>= 1;
                tree[i] = largerOf(tree[2 * i], tree[2 * i + 1]);
            } while (old > tree[i ^ 1]);
        }
        return tree[1];
    }

    // push() for a window width known when building: the walks become one
    // compare per level, each predicted on its own, and stop at the root
    // (the sentinel would stop them there too; only a value above it could
    // walk on into index 0, which is no one's child, so the nodes from the
    // root down are the same).
    template <int32_t Width>
    double pushAtWidth(double h, int32_t position) {
        int32_t i = Width + position;
        const double old = tree[i];
        tree[i] = h;
        if (h > old) {
#pragma GCC unroll 16
            for (int32_t level = Width; level > 1; level >>= 1) {
                if (!(h > tree[i ^ 1])) break;
                i >>= 1;
                tree[i] = h;
            }
        } else if (old > tree[i ^ 1]) {
#pragma GCC unroll 16
            for (int32_t level = Width; level > 1; level >>= 1) {
                i >>= 1;
                tree[i] = largerOf(tree[2 * i], tree[2 * i + 1]);
                if (!(old > tree[i ^ 1])) break;
            }
        }
        return tree[1];
    }

    double root() const { return tree[1]; }
    const double* nodes() const { return tree; }

private:
    // The larger value itself: a node must hold exactly the largest leaf below
    // it (the half-sum form can land one unit away when a − b rounds).
    static double largerOf(double a, double b) { return a > b ? a : b; }

    double* tree = nullptr;
    int32_t width = 1;
    int32_t capacity = 1;
};

}  // namespace vexal
