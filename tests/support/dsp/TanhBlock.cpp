// The level names and the dispatching block tanh of the tests and benchmarks.
#include "dsp/simd/TanhLevels.h"
#include "tests/support/dsp/DspTesting.h"

namespace quorvel {

const char* simdLevelName(SimdLevel level) {
    switch (level) {
    case SimdLevel::Scalar:
        return "Scalar";
    case SimdLevel::Sse2:
        return "SSE2";
    case SimdLevel::Avx2:
        return "AVX2";
    }
    return "?";
}

int tanhBlock(float* data, int n, SimdLevel level) {
    if (data == nullptr || n <= 0)
        return 0;
    switch (level) {
#if defined(__i386__) || defined(__x86_64__)
    case SimdLevel::Avx2:
        return tanh_levels::tanhBlockAvx2(data, n);
    case SimdLevel::Sse2:
        return tanh_levels::tanhBlockSse2(data, n);
#else
    case SimdLevel::Avx2:
    case SimdLevel::Sse2:
#endif
    case SimdLevel::Scalar:
        break;
    }
    return tanh_levels::tanhBlockScalar(data, n);
}

} // namespace quorvel
