// Flush-to-zero and denormals-are-zero for the length of one processing call.
//
// A DenormalGuard sets the two bits in the SSE control and status register (MXCSR) when it is
// made and puts back the caller's whole register when it goes, so the host's own floating-point
// mode is the same after the call as before it. While it lives, SSE arithmetic reads denormal
// operands as zero of the same sign (DAZ) and writes zero of the same sign where a result would
// be denormal (FTZ). Only values below the smallest normal number change (2^-126 in single,
// 2^-1022 in double precision); every other result keeps its bits, and the rounding mode and
// exception masks are untouched.
//
// It acts on SSE arithmetic only: on x86 that is all of this project's floating point (the
// 32-bit build uses -msse2 -mfpmath=sse). Elsewhere it does nothing. No allocation, no lock,
// no system call: two register moves on entry, one on exit.
#pragma once

#if defined(__SSE__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 1)
#include <xmmintrin.h>
#define QUORVEL_DENORMAL_GUARD_MXCSR 1
#endif

namespace quorvel {

class DenormalGuard {
public:
    DenormalGuard() noexcept {
#ifdef QUORVEL_DENORMAL_GUARD_MXCSR
        saved = _mm_getcsr();
        _mm_setcsr(saved | kFlushToZero | kDenormalsAreZero);
#endif
    }

    ~DenormalGuard() {
#ifdef QUORVEL_DENORMAL_GUARD_MXCSR
        _mm_setcsr(saved);
#endif
    }

    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

    // True where the guard changes the floating-point mode (x86 with SSE).
    static constexpr bool isEffective() {
#ifdef QUORVEL_DENORMAL_GUARD_MXCSR
        return true;
#else
        return false;
#endif
    }

private:
#ifdef QUORVEL_DENORMAL_GUARD_MXCSR
    static constexpr unsigned kFlushToZero = 0x8000;      // MXCSR bit 15
    static constexpr unsigned kDenormalsAreZero = 0x0040; // MXCSR bit 6
    unsigned saved = 0;
#endif
};

} // namespace quorvel
