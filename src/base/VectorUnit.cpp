#include "VectorUnit.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>

namespace
{
// The instruction faults on processors without it, so it is only issued
// after asking the processor once.
const bool HasWideVectors = []
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx") != 0;
}();

__attribute__((target("avx"))) void ZeroUpper()
{
    _mm256_zeroupper();
}
} // namespace

void ClearUpperVectorRegisters()
{
    if (HasWideVectors)
        ZeroUpper();
}
#else
void ClearUpperVectorRegisters() {}
#endif
