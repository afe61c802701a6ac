// AVX2 units of the dynamics engine's pipeline: four frames as four floats per channel and
// vectors of four doubles. Built with -mavx2 -mno-fma: a fused multiply-add would round
// differently from the other levels. Everything here has internal
// linkage, so no AVX2 code can stand in for an inline function other translation units use;
// the entry points are in EngineAvx2.cpp (and tests/support/dsp for the smoother alone).
#pragma once

#include "dsp/simd/EngineLevels.h"

#if defined(__i386__) || defined(__x86_64__)

#if !defined(__AVX2__) || defined(__FMA__)
#error "EngineAvx2Units.h must be compiled with -mavx2 -mno-fma"
#endif

#include "dsp/simd/EngineKernel.h"
#include "dsp/simd/TanhKernel.h"
#include "dsp/simd/TanhLevels.h"

#include <cmath>
#include <cstdint>
#include <immintrin.h>

namespace quorvel::engine_levels {
namespace {

#include "dsp/simd/Float4Units.h"

using engine_kernel::kUnit;
static_assert(kUnit == 4, "four floats per channel and unit");

// The soft clipper's kernel (TanhKernel.h) on two vectors of four doubles side by side: the
// operations of tanhBlock, so the same bits.
struct Vd {
    __m256d a, b;
    Vd(__m256d a_, __m256d b_) : a(a_), b(b_) {}
    explicit Vd(double x) : a(_mm256_set1_pd(x)), b(a) {}
};
inline Vd operator+(Vd x, Vd y) {
    return Vd(_mm256_add_pd(x.a, y.a), _mm256_add_pd(x.b, y.b));
}
inline Vd operator-(Vd x, Vd y) {
    return Vd(_mm256_sub_pd(x.a, y.a), _mm256_sub_pd(x.b, y.b));
}
inline Vd operator*(Vd x, Vd y) {
    return Vd(_mm256_mul_pd(x.a, y.a), _mm256_mul_pd(x.b, y.b));
}
inline Vd operator/(Vd x, Vd y) {
    return Vd(_mm256_div_pd(x.a, y.a), _mm256_div_pd(x.b, y.b));
}
inline __m256d pow2FromShifted(__m256d kd) {
    const __m256i e = _mm256_slli_epi64(_mm256_castpd_si256(kd), 52);
    return _mm256_castsi256_pd(
        _mm256_add_epi64(e, _mm256_set1_epi64x(static_cast<long long>(tanh_kernel::kOneBits))));
}
inline Vd pow2FromShifted(Vd kd) {
    return Vd(pow2FromShifted(kd.a), pow2FromShifted(kd.b));
}

// Bit j set where double j of t lies inside the window around a float midpoint.
inline int nearMidpoint(__m256d t) {
    using namespace tanh_kernel;
    const __m256i low = _mm256_and_si256(_mm256_castpd_si256(t),
                                         _mm256_set1_epi64x(static_cast<long long>(kLow29Mask)));
    const __m256i rest = _mm256_and_si256(
        _mm256_sub_epi64(low, _mm256_set1_epi64x(static_cast<long long>(kWindowBase))),
        _mm256_set1_epi64x(static_cast<long long>(kWindowReject)));
    return _mm256_movemask_pd(
        _mm256_castsi256_pd(_mm256_cmpeq_epi64(rest, _mm256_setzero_si256())));
}

// The four results back in single precision with the sign of x; a NaN comes out as itself,
// quieted, as the float -> double -> float round trip does.
inline __m128 toFloats(__m128 x, __m256d t) {
    const __m128 f = _mm_or_ps(_mm256_cvtpd_ps(t), _mm_and_ps(x, _mm_set1_ps(-0.0f)));
    const __m128 quiet = _mm_or_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x00400000)));
    return _mm_blendv_ps(f, quiet, _mm_cmpunord_ps(x, x));
}

inline __m128 clampedMagnitude(__m128 x) {
    // NaN becomes the clamp (MINPS returns its second operand when the first is NaN); those
    // lanes are replaced in toFloats.
    return _mm_min_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), x), _mm_set1_ps(tanh_kernel::kClamp));
}

// tanh of eight floats, as tanhBlock computes it: the library's tanh for the rare results too
// close to a midpoint between two floats for the kernel to decide the rounding.
QUORVEL_ENGINE_INLINE void softClip(__m128& left, __m128& right) {
    const Vd t = tanh_kernel::tanhOfMagnitude(
        Vd(_mm256_cvtps_pd(clampedMagnitude(left)), _mm256_cvtps_pd(clampedMagnitude(right))));
    const int near = nearMidpoint(t.a) | (nearMidpoint(t.b) << 4);
    const __m128 l = toFloats(left, t.a);
    const __m128 r = toFloats(right, t.b);
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
    static Sd select(Sd mask, Sd ifSet, Sd ifClear) { return _mm_blendv_pd(ifClear, ifSet, mask); }
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

    static __m128 magnitude(__m128 v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    // The meter candidate of a magnitude: itself if finite, else -1 (never raises a meter).
    static __m128 finiteOrNone(__m128 a) {
        const __m128 finite = _mm_cmplt_ps(a, _mm_set1_ps(__builtin_huge_valf()));
        return _mm_blendv_ps(_mm_set1_ps(-1.0f), a, finite);
    }
    static __m128 candidates(__m128 l, __m128 r, bool mono) {
        const __m128 c = finiteOrNone(magnitude(l));
        return mono ? c : _mm_max_ps(finiteOrNone(magnitude(r)), c);
    }

    static bool prepare(const float* l, const float* r, bool mono, const Coefficients& k, double* t,
                        double* attackPart, double* releasePart, double* level) {
        const __m128 left = _mm_loadu_ps(l);
        const __m128 right = _mm_loadu_ps(r);
        const __m128 al = magnitude(left);
        // |r| > |l| ? |r| : |l|: a NaN on the right never wins.
        const __m128 x = mono ? al : _mm_max_ps(magnitude(right), al);
        _mm256_storeu_pd(level, _mm256_cvtps_pd(candidates(left, right, mono)));

        const __m256d one = _mm256_set1_pd(1.0);
        const __m256d xd = _mm256_cvtps_pd(x);
        const __m256d threshold = _mm256_set1_pd(k.threshold);
        const __m256d above = _mm256_cmp_pd(xd, threshold, _CMP_GT_OQ);
        __m256d target = one;
        if (_mm256_movemask_pd(above) != 0) {
            // Below the threshold the quotient is discarded; dividing by 1 there keeps it
            // harmless.
            const __m256d divisor = _mm256_blendv_pd(one, xd, above);
            const __m256d curve =
                _mm256_add_pd(threshold, _mm256_mul_pd(_mm256_sub_pd(divisor, threshold),
                                                       _mm256_set1_pd(k.slope)));
            const __m256d quotient =
                _mm256_div_pd(_mm256_mul_pd(_mm256_set1_pd(k.depthFactor), curve), divisor);
            target = _mm256_blendv_pd(one, quotient, above);
        }
        _mm256_storeu_pd(t, target);
        _mm256_storeu_pd(attackPart, _mm256_mul_pd(_mm256_set1_pd(k.attackComplement), target));
        _mm256_storeu_pd(releasePart, _mm256_mul_pd(_mm256_set1_pd(k.releaseComplement), target));
        return _mm_movemask_ps(_mm_cmpeq_ps(x, _mm_set1_ps(__builtin_huge_valf()))) != 0;
    }

    static __m128 scaled(const float* p, __m256d gain, __m256d outputGain) {
        const __m128 x = _mm_loadu_ps(p);
        const __m128 product =
            _mm256_cvtpd_ps(_mm256_mul_pd(_mm256_mul_pd(_mm256_cvtps_pd(x), gain), outputGain));
        return silenceInfiniteTimesZero(product, x);
    }

    static void finish(const float* l, const float* r, bool mono, const float* gain,
                       double outputGain, bool clip, double* level, float* backL, float* backR,
                       float* outL, float* outR, bool add) {
        const __m256d g = _mm256_cvtps_pd(_mm_loadu_ps(gain));
        const __m256d og = _mm256_set1_pd(outputGain);
        __m128 left = scaled(l, g, og);
        __m128 right = mono ? left : scaled(r, g, og);
        if (clip) {
            softClip(left, right);
        }
        _mm256_storeu_pd(level, _mm256_cvtps_pd(candidates(left, right, mono)));
        storeUnit(left, right, mono, backL, backR, outL, outR, add);
    }

    static void apply(const float* l, const float* r, bool mono, const float* gain,
                      double outputGain, float* processed) {
        const __m256d g = _mm256_cvtps_pd(_mm_loadu_ps(gain));
        const __m256d og = _mm256_set1_pd(outputGain);
        _mm_storeu_ps(processed, scaled(l, g, og));
        _mm_storeu_ps(processed + kUnit, mono ? _mm_setzero_ps() : scaled(r, g, og));
    }

    static void complete(bool mono, const float* processed, double* level, float* backL,
                         float* backR, float* outL, float* outR, bool add) {
        const __m128 left = _mm_loadu_ps(processed);
        const __m128 right = _mm_loadu_ps(processed + kUnit);
        _mm256_storeu_pd(level, _mm256_cvtps_pd(candidates(left, right, mono)));
        storeUnit(left, right, mono, backL, backR, outL, outR, add);
    }

    static void tanh(float* data, int n) { tanh_levels::tanhBlockAvx2(data, n); }

    // True when every one of the n (a multiple of 8) samples is at most `limit` in magnitude
    // (false for a NaN).
    static bool allBelow(const float* data, int n, float limit) {
        const __m256 sign = _mm256_set1_ps(-0.0f);
        __m256 largest = _mm256_setzero_ps();
        int unordered = 0;
        for (int i = 0; i < n; i += 8) {
            const __m256 a = _mm256_andnot_ps(sign, _mm256_loadu_ps(data + i));
            unordered |= _mm256_movemask_ps(_mm256_cmp_ps(a, a, _CMP_UNORD_Q));
            largest = _mm256_max_ps(largest, a);
        }
        const int below =
            _mm256_movemask_ps(_mm256_cmp_ps(largest, _mm256_set1_ps(limit), _CMP_LE_OQ));
        return unordered == 0 && below == 0xFF;
    }

    static void levelsOf(const float* l, const float* r, bool mono, double* level) {
        _mm256_storeu_pd(level,
                         _mm256_cvtps_pd(candidates(_mm_loadu_ps(l), _mm_loadu_ps(r), mono)));
    }

    static void copyOut(const float* in0, const float* in1, float* out0, float* out1, bool add) {
        copyOutUnit(in0, in1, out0, out1, add);
    }
};

} // namespace

} // namespace quorvel::engine_levels

#endif
