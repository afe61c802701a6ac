// The portable level's entry point; its units are in EngineScalarUnits.h.
#include "dsp/simd/EngineScalarUnits.h"

namespace quorvel::engine_levels {

void runBlockScalar(const BlockJob& job) {
    engine_kernel::runBlock<Ops>(job);
}

} // namespace quorvel::engine_levels
