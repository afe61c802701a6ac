// Four vectors of two doubles, operated on side by side, for the SSE2 levels of the soft
// clipper and the engine. The tanh kernel is one long dependency chain; issuing four
// independent chains in lockstep keeps the execution units busy.
//
// Include this inside a file's anonymous namespace, after <emmintrin.h> and TanhKernel.h, like
// Float4Units.h: every level keeps its own copy with internal linkage.

struct Vd {
    __m128d a, b, c, d;
    Vd(__m128d a_, __m128d b_, __m128d c_, __m128d d_) : a(a_), b(b_), c(c_), d(d_) {}
    explicit Vd(double x) : a(_mm_set1_pd(x)), b(a), c(a), d(a) {}
};

inline Vd operator+(Vd x, Vd y) {
    return Vd(_mm_add_pd(x.a, y.a), _mm_add_pd(x.b, y.b), _mm_add_pd(x.c, y.c),
              _mm_add_pd(x.d, y.d));
}
inline Vd operator-(Vd x, Vd y) {
    return Vd(_mm_sub_pd(x.a, y.a), _mm_sub_pd(x.b, y.b), _mm_sub_pd(x.c, y.c),
              _mm_sub_pd(x.d, y.d));
}
inline Vd operator*(Vd x, Vd y) {
    return Vd(_mm_mul_pd(x.a, y.a), _mm_mul_pd(x.b, y.b), _mm_mul_pd(x.c, y.c),
              _mm_mul_pd(x.d, y.d));
}
inline Vd operator/(Vd x, Vd y) {
    return Vd(_mm_div_pd(x.a, y.a), _mm_div_pd(x.b, y.b), _mm_div_pd(x.c, y.c),
              _mm_div_pd(x.d, y.d));
}

// 2^k for the integers k held shifted in the low bits of kd.
inline __m128d pow2FromShifted(__m128d kd) {
    const __m128i e = _mm_slli_epi64(_mm_castpd_si128(kd), 52);
    return _mm_castsi128_pd(
        _mm_add_epi64(e, _mm_set1_epi64x(static_cast<long long>(tanh_kernel::kOneBits))));
}
inline Vd pow2FromShifted(Vd kd) {
    return Vd(pow2FromShifted(kd.a), pow2FromShifted(kd.b), pow2FromShifted(kd.c),
              pow2FromShifted(kd.d));
}
