// AVX2 loop: sixteen floats per step, as four vectors of four doubles. Built with -mavx2 -mno-fma:
// a fused multiply-add would round differently from the other levels. Everything here except
// the entry point has internal linkage, so no AVX2 code can stand in for an inline function that
// other translation units use.
#include "dsp/simd/TanhLevels.h"

#if defined(__i386__) || defined(__x86_64__)

#if !defined(__AVX2__) || defined(__FMA__)
#error "TanhAvx2.cpp must be compiled with -mavx2 -mno-fma"
#endif

#include "dsp/simd/TanhKernel.h"

#include <cmath>
#include <cstdint>
#include <immintrin.h>

namespace quorvel::tanh_levels {
namespace {

using namespace tanh_kernel;

// Four vectors of four doubles, operated on side by side. The kernel is one long dependency chain;
// issuing four independent chains in lockstep keeps the execution units busy.
struct Vd {
    __m256d a, b, c, d;
    Vd(__m256d a_, __m256d b_, __m256d c_, __m256d d_) : a(a_), b(b_), c(c_), d(d_) {}
    explicit Vd(double x) : a(_mm256_set1_pd(x)), b(a), c(a), d(a) {}
};

inline Vd operator+(Vd x, Vd y) {
    return Vd(_mm256_add_pd(x.a, y.a), _mm256_add_pd(x.b, y.b), _mm256_add_pd(x.c, y.c),
              _mm256_add_pd(x.d, y.d));
}
inline Vd operator-(Vd x, Vd y) {
    return Vd(_mm256_sub_pd(x.a, y.a), _mm256_sub_pd(x.b, y.b), _mm256_sub_pd(x.c, y.c),
              _mm256_sub_pd(x.d, y.d));
}
inline Vd operator*(Vd x, Vd y) {
    return Vd(_mm256_mul_pd(x.a, y.a), _mm256_mul_pd(x.b, y.b), _mm256_mul_pd(x.c, y.c),
              _mm256_mul_pd(x.d, y.d));
}
inline Vd operator/(Vd x, Vd y) {
    return Vd(_mm256_div_pd(x.a, y.a), _mm256_div_pd(x.b, y.b), _mm256_div_pd(x.c, y.c),
              _mm256_div_pd(x.d, y.d));
}

inline __m256d pow2FromShifted(__m256d kd) {
    const __m256i e = _mm256_slli_epi64(_mm256_castpd_si256(kd), 52);
    return _mm256_castsi256_pd(
        _mm256_add_epi64(e, _mm256_set1_epi64x(static_cast<long long>(kOneBits))));
}
inline Vd pow2FromShifted(Vd kd) {
    return Vd(pow2FromShifted(kd.a), pow2FromShifted(kd.b), pow2FromShifted(kd.c),
              pow2FromShifted(kd.d));
}

// Bit j set where double j lies inside the window around a float midpoint.
inline int nearMidpoint(__m256d t) {
    const __m256i low = _mm256_and_si256(_mm256_castpd_si256(t),
                                         _mm256_set1_epi64x(static_cast<long long>(kLow29Mask)));
    const __m256i d =
        _mm256_sub_epi64(low, _mm256_set1_epi64x(static_cast<long long>(kWindowBase)));
    const __m256i rest =
        _mm256_and_si256(d, _mm256_set1_epi64x(static_cast<long long>(kWindowReject)));
    return _mm256_movemask_pd(
        _mm256_castsi256_pd(_mm256_cmpeq_epi64(rest, _mm256_setzero_si256())));
}

inline __m256 magnitude(__m256 x) {
    // NaN becomes kClamp (VMINPS returns its second operand when the first is NaN); those lanes
    // are replaced in toFloats.
    return _mm256_min_ps(_mm256_andnot_ps(_mm256_set1_ps(-0.0f), x), _mm256_set1_ps(kClamp));
}

// The eight results for the floats x back in single precision, with the sign of x; a NaN input
// comes out as itself, quieted, as the float -> double -> float round trip does. Adds the lanes
// that need the library, shifted by `shift`, to nearLanes.
QUORVEL_TANH_INLINE __m256 toFloats(__m256 x, __m256d lo, __m256d hi, int shift, int& nearLanes) {
    const __m256 signBit = _mm256_set1_ps(-0.0f);
    const __m256 f = _mm256_or_ps(
        _mm256_insertf128_ps(_mm256_castps128_ps256(_mm256_cvtpd_ps(lo)), _mm256_cvtpd_ps(hi), 1),
        _mm256_and_ps(x, signBit));
    const __m256 isNan = _mm256_cmp_ps(x, x, _CMP_UNORD_Q);
    const __m256 quiet = _mm256_or_ps(x, _mm256_castsi256_ps(_mm256_set1_epi32(0x00400000)));
    nearLanes |= (nearMidpoint(lo) | (nearMidpoint(hi) << 4)) << shift;
    return _mm256_blendv_ps(f, quiet, isNan);
}

// tanh of the sixteen floats x0, x1, stored to out; returns the lanes (bit j = element j) whose
// result must come from the library instead.
QUORVEL_TANH_INLINE int tanh16(__m256 x0, __m256 x1, float* out) {
    const __m256 a0 = magnitude(x0);
    const __m256 a1 = magnitude(x1);
    const Vd t = tanhOfMagnitude(Vd(_mm256_cvtps_pd(_mm256_castps256_ps128(a0)),
                                    _mm256_cvtps_pd(_mm256_extractf128_ps(a0, 1)),
                                    _mm256_cvtps_pd(_mm256_castps256_ps128(a1)),
                                    _mm256_cvtps_pd(_mm256_extractf128_ps(a1, 1))));
    int nearLanes = 0;
    const __m256 y0 = toFloats(x0, t.a, t.b, 0, nearLanes);
    const __m256 y1 = toFloats(x1, t.c, t.d, 8, nearLanes);
    _mm256_storeu_ps(out, y0);
    _mm256_storeu_ps(out + 8, y1);
    return nearLanes;
}

int recomputeLanes(float* out, const float* in, int lanes) {
    int count = 0;
    for (int j = 0; j < 16; ++j) {
        if (lanes & (1 << j)) {
            out[j] = static_cast<float>(std::tanh(static_cast<double>(in[j])));
            ++count;
        }
    }
    return count;
}

} // namespace

int tanhBlockAvx2(float* data, int n) {
    int fallbacks = 0;
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256 x0 = _mm256_loadu_ps(data + i);
        const __m256 x1 = _mm256_loadu_ps(data + i + 8);
        const int lanes = tanh16(x0, x1, data + i);
        if (lanes != 0) {
            float in[16];
            _mm256_storeu_ps(in, x0);
            _mm256_storeu_ps(in + 8, x1);
            fallbacks += recomputeLanes(data + i, in, lanes);
        }
    }
    if (i < n) {
        const int rest = n - i;
        float in[16] = {};
        float out[16];
        for (int j = 0; j < rest; ++j)
            in[j] = data[i + j];
        const int lanes =
            tanh16(_mm256_loadu_ps(in), _mm256_loadu_ps(in + 8), out) & ((1 << rest) - 1);
        fallbacks += recomputeLanes(out, in, lanes);
        for (int j = 0; j < rest; ++j)
            data[i + j] = out[j];
    }
    return fallbacks;
}

} // namespace quorvel::tanh_levels

#endif
