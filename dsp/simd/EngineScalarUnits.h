// Portable units of the dynamics engine's pipeline: the same steps as the vector levels, one
// sample at a time in plain C++. The level of non-x86 builds, and on x86 a third
// implementation the vector levels are checked against.
#pragma once

#include "dsp/simd/EngineKernel.h"
#include "dsp/simd/EngineLevels.h"
#include "dsp/simd/TanhLevels.h"

#include <cmath>

namespace quorvel::engine_levels {
namespace {

// The gain and the output gain applied to one sample, rounded to float. An infinite sample
// meeting a gain of exactly 0 would give inf x 0 = NaN, which not even the soft clipper bounds:
// it gives a zero of the sample's sign instead, so only a NaN input makes a NaN output.
inline float gained(float x, double gain, double outputGain) {
    const float product = static_cast<float>((static_cast<double>(x) * gain) * outputGain);
    if (std::isnan(product) && !std::isnan(x)) {
        return std::copysign(0.0f, x);
    }
    return product;
}

using engine_kernel::kUnit;

struct Ops {
    using Sd = double;

    static Sd sd(double v) { return v; }
    static Sd load(const double* p) { return *p; }
    static double value(Sd v) { return v; }
    static Sd add(Sd a, Sd b) { return a + b; }
    static Sd mul(Sd a, Sd b) { return a * b; }
    static bool greater(Sd a, Sd b) { return a > b; }
    static bool unordered(Sd a) { return std::isnan(a); }
    static Sd select(bool condition, Sd ifSet, Sd ifClear) { return condition ? ifSet : ifClear; }
    static Sd maxKeep(Sd candidate, Sd level) { return candidate > level ? candidate : level; }
    static Sd roundToFloat(Sd v, float* out) {
        const float f = static_cast<float>(v);
        *out = f;
        return f;
    }

    // The meter candidate of a frame: the larger finite magnitude, or -1 if there is none.
    static double candidate(float l, float r, bool mono) {
        const float left = std::fabs(l);
        float c = std::isfinite(left) ? left : -1.0f;
        if (!mono) {
            const float right = std::fabs(r);
            if (std::isfinite(right) && right > c) {
                c = right;
            }
        }
        return c;
    }

    static bool prepare(const float* l, const float* r, bool mono, const Coefficients& k, double* t,
                        double* attackPart, double* releasePart, double* level) {
        bool infinite = false;
        for (int i = 0; i < kUnit; ++i) {
            float x = std::fabs(l[i]);
            if (!mono && std::fabs(r[i]) > x) { // a NaN on the right never wins
                x = std::fabs(r[i]);
            }
            infinite = infinite || std::isinf(x);
            const double detector = x;
            double target = 1.0;
            if (detector > k.threshold) {
                target =
                    (k.depthFactor * (k.threshold + (detector - k.threshold) * k.slope)) / detector;
            }
            t[i] = target;
            attackPart[i] = k.attackComplement * target;
            releasePart[i] = k.releaseComplement * target;
            level[i] = candidate(l[i], r[i], mono);
        }
        return infinite;
    }

    static void finish(const float* l, const float* r, bool mono, const float* gain,
                       double outputGain, bool clip, double* level, float* backL, float* backR,
                       float* outL, float* outR, bool add) {
        float processed[2][kUnit];
        for (int i = 0; i < kUnit; ++i) {
            const double g = gain[i];
            processed[0][i] = gained(l[i], g, outputGain);
            processed[1][i] = mono ? processed[0][i] : gained(r[i], g, outputGain);
        }
        if (clip) {
            tanh_levels::tanhBlockScalar(processed[0], kUnit);
            if (!mono) {
                tanh_levels::tanhBlockScalar(processed[1], kUnit);
            }
        }
        for (int i = 0; i < kUnit; ++i) {
            level[i] = candidate(processed[0][i], processed[1][i], mono);
        }
        store(processed[0], processed[1], mono, backL, backR, outL, outR, add);
    }

    // The processed unit written back where it has a place, then copied or added into the
    // outputs frame by frame; a channel not written back is copied from `left` or `right`
    // (see storeUnit in Float4Units.h).
    static void store(const float* left, const float* right, bool mono, float* backL, float* backR,
                      float* outL, float* outR, bool add) {
        for (int i = 0; i < kUnit; ++i) {
            if (backL != nullptr) {
                backL[i] = left[i];
            }
            if (!mono && backR != nullptr) {
                backR[i] = right[i];
            }
        }
        if (outL != nullptr) {
            copyOut(backL != nullptr ? backL : left,
                    backR != nullptr ? backR
                    : mono           ? left
                                     : right,
                    outL, outR, add);
        }
    }

    static void apply(const float* l, const float* r, bool mono, const float* gain,
                      double outputGain, float* processed) {
        for (int i = 0; i < kUnit; ++i) {
            const double g = gain[i];
            processed[i] = gained(l[i], g, outputGain);
            processed[kUnit + i] = mono ? 0.0f : gained(r[i], g, outputGain);
        }
    }

    static void complete(bool mono, const float* processed, double* level, float* backL,
                         float* backR, float* outL, float* outR, bool add) {
        for (int i = 0; i < kUnit; ++i) {
            level[i] = candidate(processed[i], processed[kUnit + i], mono);
        }
        store(processed, processed + kUnit, mono, backL, backR, outL, outR, add);
    }

    static void tanh(float* data, int n) { tanh_levels::tanhBlockScalar(data, n); }

    // True when every one of the n samples is at most `limit` in magnitude (false for a NaN).
    static bool allBelow(const float* data, int n, float limit) {
        for (int i = 0; i < n; ++i) {
            if (!(std::fabs(data[i]) <= limit)) {
                return false;
            }
        }
        return true;
    }

    static void levelsOf(const float* l, const float* r, bool mono, double* level) {
        for (int i = 0; i < kUnit; ++i) {
            level[i] = candidate(l[i], r[i], mono);
        }
    }

    static void copyOut(const float* in0, const float* in1, float* out0, float* out1, bool add) {
        engine_kernel::copyFrames(in0, in1, out0, out1, kUnit, add);
    }
};

} // namespace

} // namespace quorvel::engine_levels
