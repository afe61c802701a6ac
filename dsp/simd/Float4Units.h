// Four-float helpers that the SSE2 and AVX2 engine levels share.
//
// Include this inside a file's anonymous namespace, after <emmintrin.h> or <immintrin.h>: each
// level compiles its own copy with its own instruction set, and internal linkage keeps an
// AVX2-compiled copy from ever standing in for the SSE2 one.

// The product of a sample with its gain and output gain is NaN only for a NaN sample or for an
// infinite sample meeting a gain of exactly 0 (inf x 0). Lanes of the second kind become a zero
// of the sample's sign, so only a NaN input makes a NaN output.
inline __m128 silenceInfiniteTimesZero(__m128 product, __m128 sample) {
    const __m128 silenced =
        _mm_and_ps(_mm_cmpunord_ps(product, product), _mm_cmpord_ps(sample, sample));
    const __m128 signedZero = _mm_and_ps(sample, _mm_set1_ps(-0.0f));
    return _mm_or_ps(_mm_andnot_ps(silenced, product), _mm_and_ps(silenced, signedZero));
}

// out + in as the plain loop's addition computes it on x86, where the first operand's NaN wins
// when both are NaN. The compiler may put the operands of an addition either way round, so that
// case is settled explicitly.
inline __m128 accumulate(__m128 out, __m128 in) {
    const __m128 both = _mm_and_ps(_mm_cmpunord_ps(out, out), _mm_cmpunord_ps(in, in));
    const __m128 quietOut = _mm_or_ps(out, _mm_castsi128_ps(_mm_set1_epi32(0x00400000)));
    const __m128 sum = _mm_add_ps(out, in);
    return _mm_or_ps(_mm_and_ps(both, quietOut), _mm_andnot_ps(both, sum));
}

// The processed unit `left` and `right` (with mono, `left` stands for both): written back into
// the input channels that have a place for it (backLeft, backRight; null: not written), then
// copied or added into the outputs (out0 null: none), channel 0 over the unit, then channel 1.
// A channel written back is read again from its buffer, which an earlier output store may
// have changed; the buffers are identical or disjoint, so this is the frame-by-frame order of
// the plain passes. A channel not written back goes from the register.
inline void storeUnit(__m128 left, __m128 right, bool mono, float* backLeft, float* backRight,
                      float* out0, float* out1, bool add) {
    if (backLeft != nullptr) {
        _mm_storeu_ps(backLeft, left);
    }
    if (!mono && backRight != nullptr) {
        _mm_storeu_ps(backRight, right);
    }
    if (out0 == nullptr) {
        return;
    }
    __m128 v = backLeft != nullptr ? _mm_loadu_ps(backLeft) : left;
    if (add) {
        v = accumulate(_mm_loadu_ps(out0), v);
    }
    _mm_storeu_ps(out0, v);
    __m128 w = backRight != nullptr ? _mm_loadu_ps(backRight) : mono ? left : right;
    if (add) {
        w = accumulate(_mm_loadu_ps(out1), w);
    }
    _mm_storeu_ps(out1, w);
}

// Channel 0 over the unit, then channel 1, reading the buffers again: they are identical or
// disjoint, so this is the frame-by-frame order of the plain copy.
inline void copyOutUnit(const float* in0, const float* in1, float* out0, float* out1, bool add) {
    __m128 v = _mm_loadu_ps(in0);
    if (add) {
        v = accumulate(_mm_loadu_ps(out0), v);
    }
    _mm_storeu_ps(out0, v);
    __m128 w = _mm_loadu_ps(in1);
    if (add) {
        w = accumulate(_mm_loadu_ps(out1), w);
    }
    _mm_storeu_ps(out1, w);
}

// The soft clipper's results l and r for the samples left and right, except that the lanes
// flagged in `near` (bits 0 to 3 for left, 4 to 7 for right) lie too close to a midpoint between
// two floats for the kernel to decide the rounding: those take the library's tanh.
inline void replaceNearMidpoints(__m128& left, __m128& right, __m128 l, __m128 r, int near) {
    if (near != 0) {
        float in[8];
        float out[8];
        _mm_storeu_ps(in, left);
        _mm_storeu_ps(in + 4, right);
        _mm_storeu_ps(out, l);
        _mm_storeu_ps(out + 4, r);
        for (int j = 0; j < 8; ++j) {
            if (near & (1 << j)) {
                out[j] = static_cast<float>(std::tanh(static_cast<double>(in[j])));
            }
        }
        left = _mm_loadu_ps(out);
        right = _mm_loadu_ps(out + 4);
        return;
    }
    left = l;
    right = r;
}
