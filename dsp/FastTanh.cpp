#include "dsp/FastTanh.h"

#include "dsp/simd/TanhKernel.h"
#include "dsp/simd/TanhLevels.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define QUORVEL_TANH_X86 1
#else
#define QUORVEL_TANH_X86 0
#endif

namespace quorvel {

namespace tanh_levels {
namespace {

using namespace tanh_kernel;

// One double: the same operations, in the same order, as the vector levels.
struct Sd {
    double v;
    explicit Sd(double d) : v(d) {}
};

inline Sd operator+(Sd a, Sd b) {
    return Sd(a.v + b.v);
}
inline Sd operator-(Sd a, Sd b) {
    return Sd(a.v - b.v);
}
inline Sd operator*(Sd a, Sd b) {
    return Sd(a.v * b.v);
}
inline Sd operator/(Sd a, Sd b) {
    return Sd(a.v / b.v);
}

inline std::uint64_t bitsOf(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

inline Sd pow2FromShifted(Sd kd) {
    const std::uint64_t b = (bitsOf(kd.v) << 52) + kOneBits;
    double d;
    std::memcpy(&d, &b, sizeof d);
    return Sd(d);
}

inline bool nearMidpoint(Sd t) {
    return (((bitsOf(t.v) & kLow29Mask) - kWindowBase) & kWindowReject) == 0;
}

} // namespace

int tanhBlockScalar(float* data, int n) {
    int fallbacks = 0;
    for (int i = 0; i < n; ++i) {
        const float x = data[i];
        std::uint32_t xb;
        std::memcpy(&xb, &x, sizeof xb);
        std::uint32_t yb;
        if (std::isnan(x)) {
            yb = xb | 0x00400000u; // the input NaN, quieted
        } else {
            const float a = std::fmin(std::fabs(x), kClamp);
            const Sd t = tanhOfMagnitude(Sd(static_cast<double>(a)));
            if (nearMidpoint(t)) {
                data[i] = static_cast<float>(std::tanh(static_cast<double>(x)));
                ++fallbacks;
                continue;
            }
            const float f = static_cast<float>(t.v);
            std::memcpy(&yb, &f, sizeof yb);
            yb |= xb & 0x80000000u;
        }
        std::memcpy(&data[i], &yb, sizeof yb);
    }
    return fallbacks;
}

} // namespace tanh_levels

namespace {

#if QUORVEL_TANH_X86
bool cpuRunsAvx2() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx))
        return false;
    if ((ecx & bit_OSXSAVE) == 0 || (ecx & bit_AVX) == 0)
        return false;
    // The OS must save and restore the XMM and YMM registers (XCR0 bits 1 and 2).
    unsigned xcr0Lo = 0, xcr0Hi = 0;
    __asm__ volatile("xgetbv" : "=a"(xcr0Lo), "=d"(xcr0Hi) : "c"(0));
    if ((xcr0Lo & 0x6u) != 0x6u)
        return false;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx))
        return false;
    return (ebx & bit_AVX2) != 0;
}
#endif

} // namespace

SimdLevel detectSimdLevel() {
#if QUORVEL_TANH_X86
    // Asked once per process: under a hypervisor every CPUID traps, and hosts make instances
    // by the hundred when they scan.
    static const bool avx2 = cpuRunsAvx2();
    return avx2 ? SimdLevel::Avx2 : SimdLevel::Sse2;
#else
    return SimdLevel::Scalar;
#endif
}

bool isSimdLevelSupported(SimdLevel level) {
    switch (level) {
    case SimdLevel::Scalar:
        return true;
    case SimdLevel::Sse2:
        return QUORVEL_TANH_X86 != 0;
    case SimdLevel::Avx2:
        return detectSimdLevel() == SimdLevel::Avx2;
    }
    return false;
}

} // namespace quorvel
