// Which build of the kernel runs: the portable per-sample reference, or the
// chunked path built for SSE2, AVX2 or AVX-512. All give the same bits; they
// differ only in speed. The choice is made once, when the library is loaded:
// the best the processor supports, unless VEXAL_KERNEL names another
// (portable, sse2, avx2, avx512). A request the processor cannot run falls
// back to the best variant below it; an unknown name is ignored.
#pragma once

#include <cstdint>

namespace vexal {

enum class KernelVariant : int32_t { portable, sse2, avx2, avx512 };

constexpr KernelVariant kAllKernelVariants[] = {KernelVariant::portable, KernelVariant::sse2,
                                                KernelVariant::avx2, KernelVariant::avx512};

const char* kernelVariantName(KernelVariant variant);
bool kernelVariantSupported(KernelVariant variant);

// The variant for a request (null or unknown: the best supported one).
KernelVariant chooseKernelVariant(const char* request);

// The variant chosen at load from VEXAL_KERNEL.
KernelVariant selectedKernelVariant();

}  // namespace vexal
