// Shared arithmetic of the block tanh: one template, instantiated once per instruction set with a
// small vector wrapper type, so every level performs the same IEEE double operations in the same
// order and therefore produces the same bits.
//
// Only constants and templates live here. Each instantiation uses a wrapper type that is local to
// its translation unit, so no out-of-line copy compiled for one instruction set can be picked by
// the linker for a caller compiled for another.
#pragma once

#include <cstdint>

#if defined(__GNUC__)
// The kernel must be inlined into each loop: as a call, its vectors would pass through memory.
#define QUORVEL_TANH_INLINE inline __attribute__((always_inline))
#else
#define QUORVEL_TANH_INLINE inline
#endif

namespace quorvel::tanh_kernel {

// |x| is clamped to this before the evaluation. tanh(9.5) = 1 - 1.1e-8 is above the midpoint
// 1 - 2^-25 between the largest float below one and one, so every input at or beyond it (and
// infinity) rounds to exactly 1.0f; the clamp also keeps 2^k small and turns NaN lanes (which
// are replaced afterwards) into harmless work.
constexpr float kClamp = 9.5f;

// exp(y) = 2^k * exp(r) with k = round(y / ln2) and |r| <= ln2 / 2. ln2 is split so that
// k * kLn2Hi is exact for the k that occur (k <= 27; kLn2Hi has 21 trailing zero bits) and the
// subtraction y - k * kLn2Hi is exact as well (Sterbenz).
constexpr double kInvLn2 = 0x1.71547652b82fep+0;
constexpr double kLn2Hi = 0x1.62e42fee00000p-1;
constexpr double kLn2Lo = 0x1.a39ef35793c76p-33;
// Adding 1.5 * 2^52 rounds a double in [0, 2^51) to an integer, which then sits in the low
// mantissa bits of the sum.
constexpr double kShifter = 0x1.8p52;
constexpr std::uint64_t kOneBits = 0x3ff0000000000000ULL;

// expm1(r) = r + r^2 * (1/2 + r * Q(r)) on |r| <= ln2/2 * (1 + 2^-20). Q is a degree-8
// near-minimax (Chebyshev) fit of (expm1(r) - r - r^2/2) / r^3; with the coefficients rounded
// to double the relative error of this expm1 is below 8e-17 (2^-53.4), i.e. under one double
// rounding before evaluation errors.
constexpr double kQ0 = 0x1.5555555555555p-3;
constexpr double kQ1 = 0x1.5555555554cb8p-5;
constexpr double kQ2 = 0x1.1111111110e6bp-7;
constexpr double kQ3 = 0x1.6c16c1738ed23p-10;
constexpr double kQ4 = 0x1.a01a01a4b26fep-13;
constexpr double kQ5 = 0x1.a019c9ab133b1p-16;
constexpr double kQ6 = 0x1.71de17e78d71bp-19;
constexpr double kQ7 = 0x1.2880393a358c4p-22;
constexpr double kQ8 = 0x1.af2360f9f048ap-26;

// Rounding decision. A double t in [2^e, 2^(e+1)) (e >= -126) rounds to float according to its
// low 29 mantissa bits; the midpoint between two floats has exactly 2^28 there. The kernel below
// is within a few double ulps of tanh, and so is the C library's tanh: over every float input the
// two differ by at most 5 ulp (glibc; quorvel_tanhproof measures it). A result further than
// kWindowHalfWidth ulps from a midpoint therefore rounds exactly as the library's result does;
// results inside the window are recomputed with the library. The window is wide on purpose: the
// library's error bound is not ours to prove (Windows has its own tanh), and the cost is one
// library call per ~2^18 samples in the range where tanh is neither x nor 1.
// For float-subnormal results (|x| < 2^-126) t lies within a few double ulps of x itself, so it
// is never near a rounding boundary and rounds to x, exactly as the library's result does.
constexpr std::uint64_t kLow29Mask = 0x1fffffffULL;
constexpr std::uint64_t kWindowHalfWidth = 1u << 10;
constexpr std::uint64_t kWindowBase = (1ULL << 28) - kWindowHalfWidth;
constexpr std::uint64_t kWindowWidth = 2 * kWindowHalfWidth; // a power of two
// (low29 - kWindowBase) mod 2^64 < kWindowWidth <=> (that difference & kWindowReject) == 0
constexpr std::uint64_t kWindowReject = ~(kWindowWidth - 1);

// tanh(a) for 0 <= a <= kClamp, computed as expm1(2a) / (expm1(2a) + 2).
//
// D is a vector of doubles with + - * /, construction from a double (broadcast) and
// pow2FromShifted(kd) = 2^k for kd = k + kShifter (found by argument-dependent lookup).
//
// Error: r carries one rounding; expm1(r) about two more; the reassembly
// expm1(2a) = 2^k * expm1(r) + (2^k - 1) adds one rounding (2^k * p is a scaling, 2^k - 1 is
// exact) and amplifies the relative error of expm1(r) by at most 1.5 (k = 1, r = -ln2/2); the
// final addition and division add two roundings, and the quotient's relative error is at most
// that of expm1(2a) plus those two. A handful of ulps in all, far inside the window.
template <class D> QUORVEL_TANH_INLINE D tanhOfMagnitude(D a) {
    const D y = a + a; // exact
    // a * (2 / ln2) rounds exactly like y * (1 / ln2) (both scale by two exactly) but does not
    // wait for y.
    const D kd = a * D(2.0 * kInvLn2) + D(kShifter);
    const D k = kd - D(kShifter);
    const D r = (y - k * D(kLn2Hi)) - k * D(kLn2Lo);

    // Q(r) by Estrin's scheme: a shorter dependency chain than Horner's rule, which matters more
    // here than the operation count (the loop is latency bound).
    const D r2 = r * r;
    const D r4 = r2 * r2;
    const D q01 = D(kQ0) + D(kQ1) * r;
    const D q23 = D(kQ2) + D(kQ3) * r;
    const D q45 = D(kQ4) + D(kQ5) * r;
    const D q67 = D(kQ6) + D(kQ7) * r;
    const D q03 = q01 + r2 * q23;
    const D q47 = q45 + r2 * q67;
    const D q = (q03 + r4 * q47) + (r4 * r4) * D(kQ8);
    const D p = (r + r2 * D(0.5)) + (r2 * r) * q; // expm1(r)

    const D s = pow2FromShifted(kd);
    const D em1 = s * p + (s - D(1.0)); // expm1(2a)
    return em1 / (em1 + D(2.0));
}

} // namespace quorvel::tanh_kernel
