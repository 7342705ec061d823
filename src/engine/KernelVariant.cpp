#include "KernelVariant.h"

#include <cstdlib>
#include <cstring>

#include "ChannelPair.h"

namespace vexal {

const char* kernelVariantName(KernelVariant variant) {
    switch (variant) {
        case KernelVariant::portable: return "portable";
        case KernelVariant::sse2: return "sse2";
        case KernelVariant::avx2: return "avx2";
        case KernelVariant::avx512: return "avx512";
    }
    return "portable";
}

bool kernelVariantSupported(KernelVariant variant) {
#if VEXAL_HAVE_SSE2 && defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init();  // may run before the runtime's own initialisation
#endif
    switch (variant) {
        case KernelVariant::portable: return true;
#if VEXAL_HAVE_SSE2 && defined(__x86_64__) && defined(__GNUC__)
        case KernelVariant::sse2: return true;
        case KernelVariant::avx2: return __builtin_cpu_supports("avx2");
        case KernelVariant::avx512: return __builtin_cpu_supports("avx512f");
#else
        default: return false;
#endif
    }
    return false;
}

KernelVariant chooseKernelVariant(const char* request) {
    int32_t wanted = static_cast<int32_t>(KernelVariant::avx512);
    if (request)
        for (KernelVariant v : kAllKernelVariants)
            if (std::strcmp(request, kernelVariantName(v)) == 0) wanted = static_cast<int32_t>(v);
    for (int32_t v = wanted; v > 0; --v)
        if (kernelVariantSupported(static_cast<KernelVariant>(v))) return static_cast<KernelVariant>(v);
    return KernelVariant::portable;
}

// Chosen once; the copy below makes that happen at load, never on the audio
// thread, and a caller initialised earlier at load still gets the choice.
KernelVariant selectedKernelVariant() {
    static const KernelVariant selected = chooseKernelVariant(std::getenv("VEXAL_KERNEL"));
    return selected;
}

namespace {
[[maybe_unused]] const KernelVariant kChosenAtLoad = selectedKernelVariant();
}  // namespace

}  // namespace vexal
