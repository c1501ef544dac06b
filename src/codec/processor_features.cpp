#include "codec/processor_features.h"

#ifdef PROCESSOR_X86
#include <cpuid.h>
#endif

namespace {

// -1 until the processor is asked; then a bit per feature.
int features = -1;

int AskProcessor() {
    int found = 0;
#ifdef PROCESSOR_X86
    unsigned eax, ebx, ecx, edx;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return 0;
    const unsigned ssse3 = 1u << 9, sse41 = 1u << 19;
    if ((ecx & ssse3) == 0) return 0;
    found |= 1 << FeatureSsse3;
    if ((ecx & sse41) == 0 || __get_cpuid_max(0, nullptr) < 7) return found;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    if ((ebx & (1u << 29)) != 0) found |= 1 << FeatureShaExtensions;
#endif
    return found;
}

}  // namespace

bool ProcessorHas(ProcessorFeature feature) {
    if (features < 0) features = AskProcessor();
    return (features & (1 << feature)) != 0;
}
