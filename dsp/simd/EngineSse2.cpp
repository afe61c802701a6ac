// The SSE2 level's entry point; its units are in EngineSse2Units.h.
#include "dsp/simd/EngineSse2Units.h"

#if defined(__i386__) || defined(__x86_64__)

namespace quorvel::engine_levels {

void runBlockSse2(const BlockJob& job) {
    engine_kernel::runBlock<Ops>(job);
}

} // namespace quorvel::engine_levels

#endif
