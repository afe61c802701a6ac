// SSE2 loop: eight floats per step, as four vectors of two doubles.
#include "dsp/simd/TanhLevels.h"

#if defined(__i386__) || defined(__x86_64__)

#include "dsp/simd/TanhKernel.h"

#include <cmath>
#include <cstdint>
#include <emmintrin.h>

namespace quorvel::tanh_levels {
namespace {

using namespace tanh_kernel;

#include "dsp/simd/Sse2Doubles.h"

// All ones in 32-bit elements 0 and 2 (the low halves of the two doubles) where the double lies
// inside the window around a float midpoint; elements 1 and 3 are meaningless. The low 29 bits
// sit in the low half, so 32-bit arithmetic there gives the same answer as the 64-bit test.
inline __m128i nearMidpoint(__m128d t) {
    const __m128i low =
        _mm_and_si128(_mm_castpd_si128(t), _mm_set1_epi32(static_cast<int>(kLow29Mask)));
    const __m128i d = _mm_sub_epi32(low, _mm_set1_epi32(static_cast<int>(kWindowBase)));
    const __m128i rest = _mm_and_si128(
        d, _mm_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(kWindowReject))));
    return _mm_cmpeq_epi32(rest, _mm_setzero_si128());
}

inline __m128 magnitude(__m128 x) {
    // NaN becomes kClamp (MINPS returns its second operand when the first is NaN); those lanes
    // are replaced in toFloats.
    return _mm_min_ps(_mm_andnot_ps(_mm_set1_ps(-0.0f), x), _mm_set1_ps(kClamp));
}

// The four results for the floats x back in single precision, with the sign of x; a NaN input
// comes out as itself, quieted, as the float -> double -> float round trip does. Adds the lanes
// that need the library, shifted by `shift`, to nearLanes.
QUORVEL_TANH_INLINE __m128 toFloats(__m128 x, __m128d lo, __m128d hi, int shift, int& nearLanes) {
    const __m128 signBit = _mm_set1_ps(-0.0f);
    const __m128 f =
        _mm_or_ps(_mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi)), _mm_and_ps(x, signBit));
    const __m128 isNan = _mm_cmpunord_ps(x, x);
    const __m128 quiet = _mm_or_ps(x, _mm_castsi128_ps(_mm_set1_epi32(0x00400000)));
    const __m128 near = _mm_shuffle_ps(_mm_castsi128_ps(nearMidpoint(lo)),
                                       _mm_castsi128_ps(nearMidpoint(hi)), _MM_SHUFFLE(2, 0, 2, 0));
    nearLanes |= _mm_movemask_ps(near) << shift;
    return _mm_or_ps(_mm_and_ps(isNan, quiet), _mm_andnot_ps(isNan, f));
}

// tanh of the eight floats x0, x1, stored to out; returns the lanes (bit j = element j) whose
// result must come from the library instead.
QUORVEL_TANH_INLINE int tanh8(__m128 x0, __m128 x1, float* out) {
    const __m128 a0 = magnitude(x0);
    const __m128 a1 = magnitude(x1);
    const Vd t = tanhOfMagnitude(Vd(_mm_cvtps_pd(a0), _mm_cvtps_pd(_mm_movehl_ps(a0, a0)),
                                    _mm_cvtps_pd(a1), _mm_cvtps_pd(_mm_movehl_ps(a1, a1))));
    int nearLanes = 0;
    const __m128 y0 = toFloats(x0, t.a, t.b, 0, nearLanes);
    const __m128 y1 = toFloats(x1, t.c, t.d, 4, nearLanes);
    _mm_storeu_ps(out, y0);
    _mm_storeu_ps(out + 4, y1);
    return nearLanes;
}

int recomputeLanes(float* out, const float* in, int lanes) {
    int count = 0;
    for (int j = 0; j < 8; ++j) {
        if (lanes & (1 << j)) {
            out[j] = static_cast<float>(std::tanh(static_cast<double>(in[j])));
            ++count;
        }
    }
    return count;
}

} // namespace

int tanhBlockSse2(float* data, int n) {
    int fallbacks = 0;
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128 x0 = _mm_loadu_ps(data + i);
        const __m128 x1 = _mm_loadu_ps(data + i + 4);
        const int lanes = tanh8(x0, x1, data + i);
        if (lanes != 0) {
            float in[8];
            _mm_storeu_ps(in, x0);
            _mm_storeu_ps(in + 4, x1);
            fallbacks += recomputeLanes(data + i, in, lanes);
        }
    }
    if (i < n) {
        const int rest = n - i;
        float in[8] = {};
        float out[8];
        for (int j = 0; j < rest; ++j)
            in[j] = data[i + j];
        const int lanes = tanh8(_mm_loadu_ps(in), _mm_loadu_ps(in + 4), out) & ((1 << rest) - 1);
        fallbacks += recomputeLanes(out, in, lanes);
        for (int j = 0; j < rest; ++j)
            data[i + j] = out[j];
    }
    return fallbacks;
}

} // namespace quorvel::tanh_levels

#endif
