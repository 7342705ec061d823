// Element-wise loops built for several instruction sets, the copy chosen by
// the kernel variant: the loop is inlined into a function compiled for that
// variant's registers and vectorised there. Each lane performs the same
// operations in the same order, so every copy gives the same bits. Plain
// target attributes and a switch: no loader support needed (Windows' PE files
// have no ifunc), and every compiler builds all copies.
#pragma once

#include "KernelVariant.h"

namespace vexal {

namespace wide {
#if defined(__x86_64__) && defined(__GNUC__)
template <auto Loop, class... Args>
__attribute__((target("avx512f"), flatten)) void avx512(Args... args) {
    Loop(args...);
}
template <auto Loop, class... Args>
__attribute__((target("avx2"), flatten)) void avx2(Args... args) {
    Loop(args...);
}
#endif
template <auto Loop, class... Args>
__attribute__((flatten)) void baseline(Args... args) {
    Loop(args...);
}
}  // namespace wide

// Runs Loop(args...) as built for `variant` (the portable one and SSE2 share
// the baseline build).
template <auto Loop, class... Args>
void runWide(KernelVariant variant, Args... args) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (variant == KernelVariant::avx512) return wide::avx512<Loop>(args...);
    if (variant == KernelVariant::avx2) return wide::avx2<Loop>(args...);
#endif
    wide::baseline<Loop>(args...);
}

}  // namespace vexal
