// The AVX2 level's entry point; its units are in EngineAvx2Units.h.
#include "dsp/simd/EngineAvx2Units.h"

#if defined(__i386__) || defined(__x86_64__)

namespace quorvel::engine_levels {

void runBlockAvx2(const BlockJob& job) {
    engine_kernel::runBlock<Ops>(job);
}

} // namespace quorvel::engine_levels

#endif
