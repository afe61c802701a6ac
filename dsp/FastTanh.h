// Block hyperbolic tangent for the soft clipper.
//
// The soft clipper's block tanh (tanhBlock, at each level in dsp/simd/TanhLevels.h; the
// dispatching tanhBlock of the tests and benchmarks is in tests/support/dsp/DspTesting.h)
// replaces every sample x by static_cast<float>(std::tanh(static_cast<double>(x))),
// bit for bit and for every float: signed zeros, subnormals, infinities (to +-1), NaN (the
// input NaN, quieted, as the library returns it) and large magnitudes (exactly +-1.0f beyond
// about 9.011). It evaluates tanh in double precision with its own vectorised kernel and calls
// the library's tanh only for the rare samples whose double result lies too close to the
// midpoint between two floats for the kernel's error bound to decide the rounding.
//
// Real-time safe: no allocation, no locks, no I/O, no global state.
#pragma once

namespace quorvel {

enum class SimdLevel { Scalar, Sse2, Avx2 };

// The best level this processor and operating system run: Avx2 when the CPU has AVX2 and the OS
// saves the YMM state (XGETBV), otherwise Sse2 on x86, Scalar elsewhere. Executes CPUID; call it
// once (for instance when the engine is constructed) and keep the result: CPUID is slow, and very
// slow under virtualisation.
SimdLevel detectSimdLevel();

// True when this level may be used here (Scalar always, Sse2 on every x86 build,
// Avx2 only where detectSimdLevel() reports it).
bool isSimdLevelSupported(SimdLevel level);

} // namespace quorvel
