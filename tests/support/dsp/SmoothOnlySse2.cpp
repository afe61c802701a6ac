// The gain smoother alone at the Sse2 level, for the benchmarks and the fast-path tests.
#include "dsp/simd/EngineSse2Units.h"
#include "tests/support/dsp/DspTesting.h"
#include "tests/support/dsp/SmoothOnly.h"

#if defined(__i386__) || defined(__x86_64__)

namespace quorvel::engine_levels {

float smoothOnlySse2(const double* target, const double* attackPart, const double* releasePart,
                     int n, const Coefficients& k, float gain, float* gains) {
    return engine_kernel::smoothOnly<Ops>(target, attackPart, releasePart, n, k, gain, gains);
}

} // namespace quorvel::engine_levels

#endif
