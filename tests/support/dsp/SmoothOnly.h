// The gain smoother alone over precomputed targets, at any level of the engine's units.
#pragma once

#include "dsp/simd/EngineKernel.h"

namespace quorvel::engine_kernel {

// The smoother alone, as the block pipeline runs it: the measure of the serial floor.
template <class Ops>
float smoothOnly(const double* target, const double* attackPart, const double* releasePart, int n,
                 const Coefficients& k, float gain, float* gains) {
    const typename Ops::Sd attack = Ops::sd(k.attack);
    const typename Ops::Sd release = Ops::sd(k.release);
    typename Ops::Sd g = Ops::sd(static_cast<double>(gain));
    for (int i = 0; i < n; ++i) {
        g = smootherStep<Ops, false>(g, target + i, attackPart + i, releasePart + i, attack,
                                     release, gains + i);
    }
    return static_cast<float>(Ops::value(g));
}

} // namespace quorvel::engine_kernel
