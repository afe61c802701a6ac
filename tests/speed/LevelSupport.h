// Which SIMD levels can be tested on this machine. A level the processor lacks (AVX2 on an older
// one) has its tests skipped with the reason, never passed; QUORVEL_REQUIRE_AVX2=1 turns the skip
// into a failure (release machines), and QUORVEL_PRETEND_NO_AVX2=1 acts as if the processor had
// no AVX2, to try the skip path on one that has it.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "dsp/FastTanh.h"
#include "tests/support/dsp/DspTesting.h"

namespace speedtest {

inline bool switchSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && std::strcmp(value, "1") == 0;
}

// Empty when the level can be tested here, else why not.
inline std::string whyLevelCannotRun(quorvel::SimdLevel level) {
    if (level == quorvel::SimdLevel::Avx2 && switchSet("QUORVEL_PRETEND_NO_AVX2")) {
        return "this processor cannot run the AVX2 path (pretended: QUORVEL_PRETEND_NO_AVX2=1)";
    }
    if (!quorvel::isSimdLevelSupported(level)) {
        return std::string("this processor cannot run the ") + quorvel::simdLevelName(level) +
               " path";
    }
    return {};
}

inline bool levelRunsHere(quorvel::SimdLevel level) {
    return whyLevelCannotRun(level).empty();
}

} // namespace speedtest

// Ends the current test as skipped (failed under QUORVEL_REQUIRE_AVX2=1) when `level` cannot be
// tested here. For test bodies and SetUp().
#define SKIP_UNLESS_LEVEL_RUNS(level)                                                              \
    do {                                                                                           \
        const std::string why = speedtest::whyLevelCannotRun(level);                               \
        if (!why.empty()) {                                                                        \
            if (speedtest::switchSet("QUORVEL_REQUIRE_AVX2")) {                                    \
                FAIL() << why << ", but QUORVEL_REQUIRE_AVX2=1 requires every level tested";       \
            }                                                                                      \
            GTEST_SKIP() << why << ", so its tests are skipped";                                   \
        }                                                                                          \
    } while (0)
