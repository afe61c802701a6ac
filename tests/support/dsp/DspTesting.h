// Helpers for the tests, benchmarks and proofs of the dsp layer; no plug-in module links them.
#pragma once

#include "dsp/FastTanh.h"
#include "dsp/simd/EngineLevels.h"

namespace quorvel {

const char* simdLevelName(SimdLevel level);

// In place over data[0..n). Every supported level gives the same bits. Returns how many samples
// were handed to the library's tanh (the near-midpoint cases: about one in 2^18 of the samples
// between 2^-12 and 9.5 in magnitude, none outside), which callers may ignore. n <= 0 does nothing.
// The level must be supported.
int tanhBlock(float* data, int n, SimdLevel level);

} // namespace quorvel

namespace quorvel::engine_levels {

// The gain smoother alone over precomputed target gains (t, (1 - a) t, (1 - r) t per sample):
// the serial chain the whole block is built around, for measuring it. Returns the last gain.
float smoothOnlyScalar(const double* target, const double* attackPart, const double* releasePart,
                       int n, const Coefficients& k, float gain, float* gains);
#if defined(__i386__) || defined(__x86_64__)
float smoothOnlySse2(const double* target, const double* attackPart, const double* releasePart,
                     int n, const Coefficients& k, float gain, float* gains);
// Only where AVX2 runs (isSimdLevelSupported).
float smoothOnlyAvx2(const double* target, const double* attackPart, const double* releasePart,
                     int n, const Coefficients& k, float gain, float* gains);
#endif

} // namespace quorvel::engine_levels
