// The sum the plug-in writes when it adds into the host's output buffers (process, as opposed
// to processReplacing).
#pragma once

#include <cstdint>
#include <cstring>

namespace quorvel {

// out + in as the plain output pass computes it on x86, where the first operand's NaN wins
// when both are NaN (quieted). The compiler may put the operands of an addition either way
// round, so that case is settled explicitly. Internal linkage: the AVX2 translation units
// include this too, and their copy must never stand in for another unit's.
static inline float outputSum(float out, float in) {
    if (out != out && in != in) {
        std::uint32_t bits;
        std::memcpy(&bits, &out, sizeof bits);
        bits |= 0x00400000u;
        std::memcpy(&out, &bits, sizeof bits);
        return out;
    }
    return out + in;
}

} // namespace quorvel
