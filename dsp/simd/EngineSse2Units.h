// SSE2 units of the dynamics engine's pipeline: four frames as four floats per channel and
// pairs of doubles. SSE2 is the baseline of every x86 build, including the 32-bit DLL.
// Everything here has internal linkage (see EngineKernel.h); the entry points are in
// EngineSse2.cpp (and tests/support/dsp for the smoother alone).
#pragma once

#include "dsp/simd/EngineLevels.h"

#if defined(__i386__) || defined(__x86_64__)

#include "dsp/simd/EngineKernel.h"
#include "dsp/simd/TanhKernel.h"
#include "dsp/simd/TanhLevels.h"

#include <cmath>
#include <cstdint>
#include <emmintrin.h>

namespace quorvel::engine_levels {
namespace {

#include "dsp/simd/Float4Units.h"

using engine_kernel::kUnit;
static_assert(kUnit == 4, "four floats per channel and unit");

// The soft clipper's kernel (TanhKernel.h) runs on Sse2Doubles' Vd: the operations of
// tanhBlock, so the same bits.
#include "dsp/simd/Sse2Doubles.h"

// Bits 0 and 1 set where double 0 or 1 of t lies inside the window around a float midpoint.
// The low 29 bits sit in the low 32-bit half of each double, so 32-bit arithmetic there gives
// the answer of the 64-bit test.
inline int nearMidpoint(__m128d t) {
    using namespace tanh_kernel;
    const __m128i low =
        _mm_and_si128(_mm_castpd_si128(t), _mm_set1_epi32(static_cast<int>(kLow29Mask)));
    const __m128i d = _mm_sub_epi32(low, _mm_set1_epi32(static_cast<int>(kWindowBase)));
    const __m128i rest = _mm_and_si128(
        d, _mm_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(kWindowReject))));
    const int halves =
        _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(rest, _mm_setzero_si128())));
    return (halves & 1) | ((halves >> 1) & 2);
}

inline __m128 choose(__m128 mask, __m128 ifSet, __m128 ifClear) {
    return _mm_or_ps(_mm_and_ps(mask, ifSet), _mm_andnot_ps(mask, ifClear));
}

// The four results back in single precision with the sign of x; a NaN comes out as itself,
// quieted, as the float -> double -> float round trip does.
inline __m128 toFloats(__m128 x, __m128d low, __m128d high) {
    const __m128 f = _mm_or_ps(_mm_movelh_ps(_mm_cvtpd_ps(low), _mm_cvtpd_ps(high)),
                               _mm_and_ps(x, _mm_set1_ps(-0.0f)));
    const __m128 quiet = _mm_or_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x00400000)));
    return choose(_mm_cmpunord_ps(x, x), quiet, f);
}

inline __m128 clampedMagnitude(__m128 x) {
    // NaN becomes the clamp (MINPS returns its second operand when the first is NaN); those
    // lanes are replaced in toFloats.
    return _mm_min_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), x), _mm_set1_ps(tanh_kernel::kClamp));
}

// tanh of eight floats, as tanhBlock computes it: the library's tanh for the rare results too
// close to a midpoint between two floats for the kernel to decide the rounding.
QUORVEL_ENGINE_INLINE void softClip(__m128& left, __m128& right) {
    const __m128 al = clampedMagnitude(left);
    const __m128 ar = clampedMagnitude(right);
    const Vd t =
        tanh_kernel::tanhOfMagnitude(Vd(_mm_cvtps_pd(al), _mm_cvtps_pd(_mm_movehl_ps(al, al)),
                                        _mm_cvtps_pd(ar), _mm_cvtps_pd(_mm_movehl_ps(ar, ar))));
    const int near = nearMidpoint(t.a) | (nearMidpoint(t.b) << 2) | (nearMidpoint(t.c) << 4) |
                     (nearMidpoint(t.d) << 6);
    const __m128 l = toFloats(left, t.a, t.b);
    const __m128 r = toFloats(right, t.c, t.d);
    replaceNearMidpoints(left, right, l, r, near);
}

struct Ops {
    // One double in the low lane; the upper lane is never used.
    using Sd = __m128d;

    static Sd sd(double v) { return _mm_set_sd(v); }
    static Sd load(const double* p) { return _mm_load_sd(p); }
    static double value(Sd v) { return _mm_cvtsd_f64(v); }
    static Sd add(Sd a, Sd b) { return _mm_add_sd(a, b); }
    static Sd mul(Sd a, Sd b) { return _mm_mul_sd(a, b); }
    // a > b as a lane mask (false for NaN); written as b < a, which needs no lane shuffle.
    static Sd greater(Sd a, Sd b) { return _mm_cmplt_sd(b, a); }
    static Sd unordered(Sd a) { return _mm_cmpunord_sd(a, a); }
    static Sd select(Sd mask, Sd ifSet, Sd ifClear) {
        return _mm_or_pd(_mm_and_pd(mask, ifSet), _mm_andnot_pd(mask, ifClear));
    }
    // candidate > level ? candidate : level (MAXSD returns its second operand unless the first
    // is greater).
    static Sd maxKeep(Sd candidate, Sd level) { return _mm_max_sd(candidate, level); }
    // Rounds to single precision, stores the float and returns it widened. The zero first
    // operands keep the conversions free of a dependency on an older register value.
    static Sd roundToFloat(Sd v, float* out) {
        const __m128 f = _mm_cvtsd_ss(_mm_setzero_ps(), v);
        _mm_store_ss(out, f);
        return _mm_cvtss_sd(_mm_setzero_pd(), f);
    }

    static __m128d widenLow(__m128 v) { return _mm_cvtps_pd(v); }
    static __m128d widenHigh(__m128 v) { return _mm_cvtps_pd(_mm_movehl_ps(v, v)); }
    static __m128 magnitude(__m128 v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    // The meter candidate of a magnitude: itself if finite, else -1 (never raises a meter).
    static __m128 finiteOrNone(__m128 a) {
        return choose(_mm_cmplt_ps(a, _mm_set1_ps(__builtin_huge_valf())), a, _mm_set1_ps(-1.0f));
    }
    static void storeCandidates(__m128 l, __m128 r, bool mono, double* level) {
        __m128 c = finiteOrNone(magnitude(l));
        if (!mono) {
            c = _mm_max_ps(finiteOrNone(magnitude(r)), c);
        }
        _mm_storeu_pd(level, widenLow(c));
        _mm_storeu_pd(level + 2, widenHigh(c));
    }

    // Target gain of two detector levels and its two smoother parts.
    static void targets(__m128d x, const Coefficients& k, double* t, double* attackPart,
                        double* releasePart) {
        const __m128d one = _mm_set1_pd(1.0);
        const __m128d threshold = _mm_set1_pd(k.threshold);
        const __m128d above = _mm_cmpgt_pd(x, threshold);
        __m128d target = one;
        if (_mm_movemask_pd(above) != 0) {
            // Below the threshold the quotient is discarded; dividing by 1 there keeps it
            // harmless.
            const __m128d divisor = _mm_or_pd(_mm_and_pd(above, x), _mm_andnot_pd(above, one));
            const __m128d curve = _mm_add_pd(
                threshold, _mm_mul_pd(_mm_sub_pd(divisor, threshold), _mm_set1_pd(k.slope)));
            const __m128d quotient =
                _mm_div_pd(_mm_mul_pd(_mm_set1_pd(k.depthFactor), curve), divisor);
            target = _mm_or_pd(_mm_and_pd(above, quotient), _mm_andnot_pd(above, one));
        }
        _mm_storeu_pd(t, target);
        _mm_storeu_pd(attackPart, _mm_mul_pd(_mm_set1_pd(k.attackComplement), target));
        _mm_storeu_pd(releasePart, _mm_mul_pd(_mm_set1_pd(k.releaseComplement), target));
    }

    static bool prepare(const float* l, const float* r, bool mono, const Coefficients& k, double* t,
                        double* attackPart, double* releasePart, double* level) {
        const __m128 left = _mm_loadu_ps(l);
        const __m128 right = _mm_loadu_ps(r);
        const __m128 al = magnitude(left);
        // |r| > |l| ? |r| : |l|: a NaN on the right never wins.
        const __m128 x = mono ? al : _mm_max_ps(magnitude(right), al);
        storeCandidates(left, right, mono, level);
        targets(widenLow(x), k, t, attackPart, releasePart);
        targets(widenHigh(x), k, t + 2, attackPart + 2, releasePart + 2);
        return _mm_movemask_ps(_mm_cmpeq_ps(x, _mm_set1_ps(__builtin_huge_valf()))) != 0;
    }

    static __m128 scaled(const float* p, __m128d gainLow, __m128d gainHigh, __m128d outputGain) {
        const __m128 x = _mm_loadu_ps(p);
        const __m128 product =
            _mm_movelh_ps(_mm_cvtpd_ps(_mm_mul_pd(_mm_mul_pd(widenLow(x), gainLow), outputGain)),
                          _mm_cvtpd_ps(_mm_mul_pd(_mm_mul_pd(widenHigh(x), gainHigh), outputGain)));
        return silenceInfiniteTimesZero(product, x);
    }

    static void finish(const float* l, const float* r, bool mono, const float* gain,
                       double outputGain, bool clip, double* level, float* backL, float* backR,
                       float* outL, float* outR, bool add) {
        const __m128 gains = _mm_loadu_ps(gain);
        const __m128d low = widenLow(gains);
        const __m128d high = widenHigh(gains);
        const __m128d og = _mm_set1_pd(outputGain);
        __m128 left = scaled(l, low, high, og);
        __m128 right = mono ? left : scaled(r, low, high, og);
        if (clip) {
            softClip(left, right);
        }
        storeCandidates(left, right, mono, level);
        storeUnit(left, right, mono, backL, backR, outL, outR, add);
    }

    static void apply(const float* l, const float* r, bool mono, const float* gain,
                      double outputGain, float* processed) {
        const __m128 gains = _mm_loadu_ps(gain);
        const __m128d low = widenLow(gains);
        const __m128d high = widenHigh(gains);
        const __m128d og = _mm_set1_pd(outputGain);
        _mm_storeu_ps(processed, scaled(l, low, high, og));
        _mm_storeu_ps(processed + kUnit, mono ? _mm_setzero_ps() : scaled(r, low, high, og));
    }

    static void complete(bool mono, const float* processed, double* level, float* backL,
                         float* backR, float* outL, float* outR, bool add) {
        const __m128 left = _mm_loadu_ps(processed);
        const __m128 right = _mm_loadu_ps(processed + kUnit);
        storeCandidates(left, right, mono, level);
        storeUnit(left, right, mono, backL, backR, outL, outR, add);
    }

    static void tanh(float* data, int n) { tanh_levels::tanhBlockSse2(data, n); }

    // True when every one of the n (a multiple of 4) samples is at most `limit` in magnitude
    // (false for a NaN).
    static bool allBelow(const float* data, int n, float limit) {
        const __m128 sign = _mm_set1_ps(-0.0f);
        __m128 largest = _mm_setzero_ps();
        int unordered = 0;
        for (int i = 0; i < n; i += 4) {
            const __m128 a = _mm_andnot_ps(sign, _mm_loadu_ps(data + i));
            unordered |= _mm_movemask_ps(_mm_cmpunord_ps(a, a));
            largest = _mm_max_ps(largest, a);
        }
        const int below = _mm_movemask_ps(_mm_cmple_ps(largest, _mm_set1_ps(limit)));
        return unordered == 0 && below == 0xF;
    }

    static void levelsOf(const float* l, const float* r, bool mono, double* level) {
        storeCandidates(_mm_loadu_ps(l), _mm_loadu_ps(r), mono, level);
    }

    static void copyOut(const float* in0, const float* in1, float* out0, float* out1, bool add) {
        copyOutUnit(in0, in1, out0, out1, add);
    }
};

} // namespace

} // namespace quorvel::engine_levels

#endif
