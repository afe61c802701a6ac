// tanhBlock against static_cast<float>(std::tanh(static_cast<double>(x))), bit for bit, at every
// SIMD level this machine runs: special values, a dense sweep of the magnitudes the clipper sees,
// random bit patterns and inputs whose library result lies close to a float rounding boundary.
// The exhaustive check over all 2^32 floats is tools/tanhproof (minutes, not part of ctest).
#include "dsp/FastTanh.h"
#include "tests/support/dsp/DspTesting.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <limits>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include "tests/speed/LevelSupport.h"

namespace quorvel {
// Names the level in test output and ctest test names.
void PrintTo(SimdLevel level, std::ostream* os) {
    *os << simdLevelName(level);
}
} // namespace quorvel

namespace {

using quorvel::SimdLevel;

std::uint32_t bitsOf(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

float floatFrom(std::uint32_t b) {
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

std::uint64_t bitsOf(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

float reference(float x) {
    return static_cast<float>(std::tanh(static_cast<double>(x)));
}

std::string hex(std::uint32_t b) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", b);
    return text;
}

struct Cases {
    std::vector<float> input;
    std::vector<float> expected;
};

Cases withReference(std::vector<float> input) {
    Cases c;
    c.expected.reserve(input.size());
    for (float x : input)
        c.expected.push_back(reference(x));
    c.input = std::move(input);
    return c;
}

struct LevelRun {
    long long fallbacks = 0;
    std::size_t mismatches = 0;
    std::string firstMismatches;
};

// Processes the inputs in blocks of varied length (the engine's block sizes and awkward tails) and
// compares every result with the reference bits.
LevelRun runLevel(const Cases& cases, SimdLevel level) {
    static const int kBlockLengths[] = {4096, 1, 7, 64, 511, 2048, 3, 16, 15, 8, 9, 4093};
    std::vector<float> work = cases.input;
    LevelRun run;
    std::size_t at = 0;
    for (std::size_t k = 0; at < work.size(); ++k) {
        const int length = static_cast<int>(std::min<std::size_t>(
            kBlockLengths[k % (sizeof kBlockLengths / sizeof kBlockLengths[0])], work.size() - at));
        run.fallbacks += quorvel::tanhBlock(work.data() + at, length, level);
        at += static_cast<std::size_t>(length);
    }
    for (std::size_t i = 0; i < work.size(); ++i) {
        if (bitsOf(work[i]) != bitsOf(cases.expected[i])) {
            if (++run.mismatches <= 10) {
                run.firstMismatches += " x=" + hex(bitsOf(cases.input[i])) + " want " +
                                       hex(bitsOf(cases.expected[i])) + " got " +
                                       hex(bitsOf(work[i]));
            }
        }
    }
    return run;
}

// Distance in double ulps between d and the nearest midpoint of two adjacent floats, for
// 2^-126 <= |d| < 2^128.
std::uint64_t ulpsFromFloatMidpoint(double d) {
    const std::uint64_t low = bitsOf(std::fabs(d)) & 0x1fffffffULL;
    const std::uint64_t mid = 1ULL << 28;
    return low > mid ? low - mid : mid - low;
}

// Every bit pattern from 2^-30 up to 16 with an odd stride (so all mantissa residues occur),
// alternating the sign: about 41 million inputs across the range where tanh is neither x nor 1.
// Also keeps those whose library result lies within 4096 double ulps of a float midpoint: some of
// them fall back to the library, the others are the closest calls the kernel decides alone.
struct Sweep {
    Cases all;
    Cases nearMidpoint;
};

const Sweep& denseMagnitudes() {
    static const Sweep sweep = [] {
        Sweep s;
        const std::uint32_t first = bitsOf(0x1p-30f), last = bitsOf(16.0f);
        std::uint32_t sign = 0;
        for (std::uint32_t b = first; b < last; b += 7, sign ^= 0x80000000u) {
            const float x = floatFrom(b | sign);
            const double t = std::tanh(static_cast<double>(x));
            s.all.input.push_back(x);
            s.all.expected.push_back(static_cast<float>(t));
            if (std::fabs(t) >= 0x1p-126 && ulpsFromFloatMidpoint(t) <= 4096) {
                s.nearMidpoint.input.push_back(x);
                s.nearMidpoint.expected.push_back(static_cast<float>(t));
            }
        }
        return s;
    }();
    return sweep;
}

const Cases& randomPatterns() {
    static const Cases cases = [] {
        std::mt19937 rng(20240611);
        std::vector<float> in(8u << 20);
        for (float& x : in)
            x = floatFrom(static_cast<std::uint32_t>(rng()));
        return withReference(std::move(in));
    }();
    return cases;
}

// Inputs whose library result lies within 64 double ulps of a float midpoint, from the exhaustive
// run of quorvel_tanhproof: every one of them needs the library's own rounding.
const std::uint32_t kHardInputs[] = {
    0x39b89ba2u, 0x39b89ba3u, 0x3a27ba3bu, 0x3a5e773au, 0x3abc6065u, 0x3ac37de2u, 0x3adbc904u,
    0x3bc11b0bu, 0x3bc8b605u, 0x3c4e34b0u, 0x3c96ae2eu, 0x3ca1e990u, 0x3cd41b91u, 0x3d7c3055u,
    0x3da99442u, 0x3dc95db7u, 0x3dee483bu, 0x3e150cd4u, 0x3eee0566u, 0x3ef6afeeu, 0x3f172be6u,
    0x3f20b67fu, 0x3f325d3bu, 0x3f97fbc7u, 0x3fb3c82au, 0x3ff8bc7eu, 0x4013cd84u, 0x4053eea7u,
    0x40a6ef82u, 0x40acb4d0u, 0x40c5e8cau, 0x40c7b05fu,
};

std::vector<float> specialValues() {
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> v = {
        0.0f, -0.0f, inf, -inf, std::numeric_limits<float>::max(),
        -std::numeric_limits<float>::max(), std::numeric_limits<float>::min(),
        -std::numeric_limits<float>::min(), std::numeric_limits<float>::denorm_min(),
        -std::numeric_limits<float>::denorm_min(), floatFrom(0x007fffffu), floatFrom(0x807fffffu),
        floatFrom(0x00000123u), 0x1p-13f, 0x1p-12f, 1.0f, -1.0f, 0.5f, 2.0f, 9.0f, 9.01f, 9.011f,
        9.0115f, 9.02f, 9.5f, -9.5f, 9.500001f, 10.0f, 20.0f, 22.0f, 1e10f, -1e30f,
        // NaNs: quiet and signalling, both signs, assorted payloads.
        floatFrom(0x7fc00000u), floatFrom(0xffc00000u), floatFrom(0x7f800001u),
        floatFrom(0xff800001u), floatFrom(0x7fa5a5a5u), floatFrom(0x7fffffffu),
        floatFrom(0xffffffffu), floatFrom(0x7f812345u)};
    // Around the largest magnitude that still rounds below one.
    for (std::uint32_t b = bitsOf(9.0f); b < bitsOf(9.03f); ++b) {
        v.push_back(floatFrom(b));
        v.push_back(-floatFrom(b));
    }
    return v;
}

std::string levelName(const testing::TestParamInfo<SimdLevel>& info) {
    return quorvel::simdLevelName(info.param);
}

class TanhLevel : public testing::TestWithParam<SimdLevel> {
protected:
    void SetUp() override { SKIP_UNLESS_LEVEL_RUNS(GetParam()); }
};

TEST_P(TanhLevel, SpecialValuesMatchTheLibraryBitForBit) {
    const std::vector<float> values = specialValues();
    for (float x : values) {
        float y = x;
        quorvel::tanhBlock(&y, 1, GetParam());
        EXPECT_EQ(bitsOf(y), bitsOf(reference(x))) << "x = " << hex(bitsOf(x));
    }
    const LevelRun run = runLevel(withReference(values), GetParam());
    EXPECT_EQ(run.mismatches, 0u) << run.firstMismatches;
}

TEST_P(TanhLevel, SignsLimitsAndNaNsComeOutAsTheRoundTripGivesThem) {
    const float inf = std::numeric_limits<float>::infinity();
    float v[] = {-0.0f,
                 0.0f,
                 inf,
                 -inf,
                 9.02f,
                 -9.02f,
                 1e30f,
                 floatFrom(0x7f812345u),
                 floatFrom(0xffc00001u),
                 floatFrom(0x00000001u),
                 floatFrom(0x80000001u)};
    quorvel::tanhBlock(v, static_cast<int>(sizeof v / sizeof v[0]), GetParam());
    EXPECT_EQ(bitsOf(v[0]), 0x80000000u); // -0 keeps its sign
    EXPECT_EQ(bitsOf(v[1]), 0x00000000u);
    EXPECT_EQ(v[2], 1.0f);
    EXPECT_EQ(v[3], -1.0f);
    EXPECT_EQ(v[4], 1.0f); // beyond about 9.011 the result is exactly one
    EXPECT_EQ(v[5], -1.0f);
    EXPECT_EQ(v[6], 1.0f);
    EXPECT_EQ(bitsOf(v[7]), 0x7fc12345u); // signalling NaN comes back quieted, payload kept
    EXPECT_EQ(bitsOf(v[8]), 0xffc00001u);
    EXPECT_EQ(bitsOf(v[9]), 0x00000001u); // subnormals are their own tanh
    EXPECT_EQ(bitsOf(v[10]), 0x80000001u);
}

TEST_P(TanhLevel, DenseSweepOfMagnitudesMatchesTheLibrary) {
    const LevelRun run = runLevel(denseMagnitudes().all, GetParam());
    EXPECT_EQ(run.mismatches, 0u) << run.firstMismatches;
}

TEST_P(TanhLevel, RandomBitPatternsMatchTheLibrary) {
    const LevelRun run = runLevel(randomPatterns(), GetParam());
    EXPECT_EQ(run.mismatches, 0u) << run.firstMismatches;
}

TEST_P(TanhLevel, ResultsNextToRoundingBoundariesMatchTheLibrary) {
    std::vector<float> hard;
    for (std::uint32_t b : kHardInputs) {
        hard.push_back(floatFrom(b));
        hard.push_back(-floatFrom(b));
    }
    const LevelRun hardRun = runLevel(withReference(hard), GetParam());
    EXPECT_EQ(hardRun.mismatches, 0u) << hardRun.firstMismatches;
    // So close to a midpoint that the kernel must not decide any of them itself.
    EXPECT_EQ(hardRun.fallbacks, static_cast<long long>(hard.size()));

    const Cases& near = denseMagnitudes().nearMidpoint;
    ASSERT_GT(near.input.size(), 50u);
    const LevelRun run = runLevel(near, GetParam());
    EXPECT_EQ(run.mismatches, 0u) << run.firstMismatches;
    EXPECT_GT(run.fallbacks, 0);
    EXPECT_LT(run.fallbacks, static_cast<long long>(near.input.size()));
}

TEST_P(TanhLevel, EveryBlockLengthAndAlignmentTouchesExactlyItsSamples) {
    const float guard = 1234.5f;
    std::vector<float> source(64);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> level(-4.0f, 4.0f);
    for (float& x : source)
        x = level(rng);
    for (int offset = 0; offset < 4; ++offset) {
        for (int n = -1; n <= 40; ++n) {
            std::vector<float> buf(64 + 8, guard);
            std::copy(source.begin(), source.begin() + 48, buf.begin() + 4 + offset);
            quorvel::tanhBlock(buf.data() + 4 + offset, n, GetParam());
            for (int i = 0; i < static_cast<int>(buf.size()); ++i) {
                const int j = i - 4 - offset;
                float want = guard;
                if (j >= 0 && j < 48)
                    want = j < n ? reference(source[static_cast<std::size_t>(j)])
                                 : source[static_cast<std::size_t>(j)];
                ASSERT_EQ(bitsOf(buf[static_cast<std::size_t>(i)]), bitsOf(want))
                    << "offset " << offset << " n " << n << " index " << j;
            }
        }
    }
    EXPECT_EQ(quorvel::tanhBlock(nullptr, 0, GetParam()), 0);
}

#if defined(__i386__) || defined(__x86_64__)
// Hosts often run the audio thread with flush-to-zero and denormals-are-zero set; the library
// call under the same mode remains the reference.
TEST_P(TanhLevel, MatchesTheLibraryUnderFlushToZeroAndDenormalsAreZero) {
    std::vector<float> in;
    for (std::uint32_t b = 0; b < 0x01000000u; b += 3) { // subnormals and the smallest normals
        in.push_back(floatFrom(b));
        in.push_back(floatFrom(b | 0x80000000u));
    }
    std::mt19937 rng(99);
    for (int i = 0; i < (1 << 20); ++i)
        in.push_back(floatFrom(static_cast<std::uint32_t>(rng())));

    const unsigned saved = _mm_getcsr();
    _mm_setcsr(saved | 0x8040u); // FTZ | DAZ
    const Cases cases = withReference(in);
    const LevelRun run = runLevel(cases, GetParam());
    _mm_setcsr(saved);

    EXPECT_EQ(run.mismatches, 0u) << run.firstMismatches;
    // The mode did take effect: a subnormal input came out as zero.
    EXPECT_EQ(bitsOf(cases.expected[2]), 0u);
}
#endif

INSTANTIATE_TEST_SUITE_P(AllLevels, TanhLevel,
                         testing::Values(SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2),
                         levelName);

#if defined(__linux__)
bool cpuinfoLists(const std::string& flag) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("flags", 0) == 0)
            return (line + " ").find(" " + flag + " ") != std::string::npos;
    }
    return false;
}

TEST(TanhSimdDetection, AgreesWithTheKernelsViewOfTheProcessor) {
    // The kernel lists avx2 only when the CPU has it and YMM state is saved on context switches.
    const bool avx2 = cpuinfoLists("avx2");
    EXPECT_EQ(quorvel::detectSimdLevel() == SimdLevel::Avx2, avx2);
    EXPECT_EQ(quorvel::isSimdLevelSupported(SimdLevel::Avx2), avx2);
}
#endif

TEST(TanhSimdDetection, ScalarAndSse2AreAlwaysAvailableOnX86) {
    EXPECT_TRUE(quorvel::isSimdLevelSupported(SimdLevel::Scalar));
#if defined(__i386__) || defined(__x86_64__)
    EXPECT_TRUE(quorvel::isSimdLevelSupported(SimdLevel::Sse2));
    EXPECT_NE(quorvel::detectSimdLevel(), SimdLevel::Scalar);
#endif
}

TEST(TanhSimdDetection, AllLevelsHandTheSameSamplesToTheLibrary) {
    const Cases& cases = denseMagnitudes().nearMidpoint;
    const long long scalar = runLevel(cases, SimdLevel::Scalar).fallbacks;
    for (SimdLevel level : {SimdLevel::Sse2, SimdLevel::Avx2}) {
        if (speedtest::levelRunsHere(level)) {
            EXPECT_EQ(runLevel(cases, level).fallbacks, scalar) << quorvel::simdLevelName(level);
        }
    }
}

} // namespace
