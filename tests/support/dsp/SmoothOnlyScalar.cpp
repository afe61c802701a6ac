// The gain smoother alone at the portable level, for the benchmarks and the fast-path tests.
#include "dsp/simd/EngineScalarUnits.h"
#include "tests/support/dsp/DspTesting.h"
#include "tests/support/dsp/SmoothOnly.h"

namespace quorvel::engine_levels {

float smoothOnlyScalar(const double* target, const double* attackPart, const double* releasePart,
                       int n, const Coefficients& k, float gain, float* gains) {
    return engine_kernel::smoothOnly<Ops>(target, attackPart, releasePart, n, k, gain, gains);
}

} // namespace quorvel::engine_levels
