// Element-wise loops are built for several instruction sets and the loader
// picks the widest the processor has. Each lane performs the same operations
// in the same order, so every variant gives the same bits.
#pragma once

// Clones are chosen by an ELF ifunc: Windows' PE files have none, so there
// the loops are built once, for the baseline.
#if defined(__x86_64__) && defined(__ELF__) && defined(__GNUC__) && !defined(__clang__)
#define VEXAL_WIDE __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define VEXAL_WIDE
#endif
