// The block pipeline (dsp/simd/EngineKernel.h) against the plain reference of the rules, bit for
// bit, at every instruction-set level this machine runs: outputs, inputs (processed in place),
// both meters, the stored gain and the threshold after every block. Block lengths around the
// pipeline's step and unit boundaries and up to 4096, every switch combination, every buffer
// layout a host uses, replace and accumulate, non-finite and subnormal samples, unusable and odd
// sample rates, parameters and rates changing between blocks (the coefficient cache).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "dsp/DynamicsEngine.h"
#include "dsp/FastTanh.h"
#include "dsp/simd/EngineKernel.h"
#include "dsp/simd/EngineLevels.h"
#include "tests/audio/ProductVsReference.h"
#include "tests/audio/Reference.h"
#include "tests/speed/LevelSupport.h"
#include "tests/support/dsp/DspTesting.h"

// quorvel::PrintTo(SimdLevel) comes from TanhTest.cpp in the same executable.
namespace quorvel {
void PrintTo(SimdLevel level, std::ostream* os);
} // namespace quorvel

using audiotest::kDenormMin;
using audiotest::kInf;
using audiotest::kNaN;

namespace {

const ParameterValues& defaultValues() {
    static ParameterValues values;
    setDefaultParameters(values);
    return values;
}

using audiotest::bitsOf;
using audiotest::HostBuffers;
using audiotest::kLayouts;
using audiotest::Layout;
using audiotest::Random;
using quorvel::SimdLevel;

// Material for one block: noise at some level, loud bursts, a decay into the subnormal range,
// silence, or a run of special values; a few special values sprinkled into all of them.
void fillSignal(Random& rng, float* left, float* right, int frames) {
    const int kind = rng.below(6);
    const double level = rng.logUniform(1e-4, 8.0);
    double decay = rng.logUniform(1.0, 40.0);
    const float specials[] = {kNaN,  -kNaN, kInf,       -kInf, std::numeric_limits<float>::max(),
                              -0.0f, 0.0f,  kDenormMin, 1e30f, -9.5f};
    for (int i = 0; i < frames; ++i) {
        double l = 0.0;
        double r = 0.0;
        switch (kind) {
        case 0: // noise
            l = level * (2.0 * rng.uniform() - 1.0);
            r = level * (2.0 * rng.uniform() - 1.0);
            break;
        case 1: // bursts far above any threshold on one channel
            l = (rng.chance(0.05) ? 20.0 : 0.05) * (2.0 * rng.uniform() - 1.0);
            r = 0.02 * (2.0 * rng.uniform() - 1.0);
            break;
        case 2: // decaying into the subnormal floats
            decay *= 0.9;
            l = std::exp(-decay * i / 8.0) * (2.0 * rng.uniform() - 1.0);
            r = 1e-39 * (2.0 * rng.uniform() - 1.0);
            break;
        case 3: // silence
            break;
        case 4: // special values everywhere
            l = specials[rng.below(10)];
            r = rng.chance(0.5) ? specials[rng.below(10)] : level * (2.0 * rng.uniform() - 1.0);
            break;
        default: // subnormal both
            l = 1e-40 * rng.below(7);
            r = -1e-44 * rng.below(3);
            break;
        }
        left[i] = static_cast<float>(l);
        right[i] = static_cast<float>(r);
        if (rng.chance(0.001)) {
            left[i] = specials[rng.below(10)];
        }
        if (rng.chance(0.001)) {
            right[i] = specials[rng.below(10)];
        }
    }
}

// How the host hands over its buffers.
int blockLength(Random& rng) {
    // Around the unit (4) and step (8) boundaries, where the pipeline starts its steady state
    // (4 steps), and ordinary host sizes.
    const int lengths[] = {0,  1,  2,  3,  4,  5,  7,  8,  9,  15,  16,  17,  23,  24,   25,
                           31, 32, 33, 39, 40, 41, 63, 64, 65, 127, 256, 511, 512, 1024, 4096};
    if (rng.chance(0.2)) {
        return 2 * rng.below(2048) + 1; // any odd length below 4096
    }
    if (rng.chance(0.02)) {
        return -rng.below(3);
    }
    return lengths[rng.below(static_cast<int>(sizeof lengths / sizeof lengths[0]))];
}

float parameterValue(Random& rng, int index) {
    return audiotest::randomParameter(rng, index, 0.1);
}

// The product at one instruction-set level against the reference, block by block.
class Comparison {
public:
    Comparison(SimdLevel level, std::uint64_t seed)
        : rng(seed), comparison(quorvel::simdLevelName(level)) {
        if (!comparison.processor().engine.setSimdLevel(level)) {
            ADD_FAILURE() << "the engine refused level " << quorvel::simdLevelName(level);
        }
    }

    void setParameter(int index, float value) { comparison.setParameter(index, value); }
    void setRate(float rate) { comparison.setRate(rate); }
    Random& random() { return rng; }

    // One block; returns the frames compared (0 after a failure).
    long long block(int frames, Layout layout, bool replace) {
        return comparison.block(frames, layout, replace, [this](HostBuffers& buffers, int n) {
            fillSignal(rng, buffers.inputs[0], buffers.inputs[1], n);
            for (int k = 0; k < n; ++k) {
                buffers.storage[2][static_cast<std::size_t>(k)] =
                    static_cast<float>(rng.uniform() - 0.5);
                buffers.storage[3][static_cast<std::size_t>(k)] =
                    static_cast<float>(rng.uniform() - 0.5);
            }
        });
    }

    // Random blocks, layouts and modes, parameters and (optionally) rates changing between
    // blocks, until `frames` frames have been compared or something differs.
    long long run(long long frames, bool changeRates) {
        long long compared = 0;
        while (compared < frames) {
            if (rng.chance(0.2)) {
                const int index = rng.below(kParameterCount);
                setParameter(index, parameterValue(rng, index));
            }
            if (changeRates && rng.chance(0.1)) {
                const float rates[] = {44100.0f, 48000.0f, 96000.0f, 0.0f,     -0.0f,
                                       kNaN,     kInf,     -1.0f,    11025.5f, kDenormMin};
                setRate(rates[rng.below(10)]);
            }
            const int frames = blockLength(rng);
            const long long n =
                block(frames, static_cast<Layout>(rng.below(kLayouts)), rng.chance(0.6));
            if (n == 0 && frames > 0) {
                return compared;
            }
            compared += n;
        }
        return compared;
    }

private:
    Random rng;
    audiotest::ProductVsReference comparison;
};

std::string levelName(const testing::TestParamInfo<SimdLevel>& info) {
    return quorvel::simdLevelName(info.param);
}

class FastPath : public testing::TestWithParam<SimdLevel> {
protected:
    void SetUp() override { SKIP_UNLESS_LEVEL_RUNS(GetParam()); }

    static void report(const char* what, long long frames) {
        std::cout << "[          ] " << what << ": " << frames << " stereo frames compared\n";
    }
};

// The bulk of the comparison: two million frames per level, every switch combination with the
// other parameters random, parameters changing between blocks.
TEST_P(FastPath, MatchesTheReferenceOverTwoMillionFrames) {
    const int switches[] = {Active, Limiter, Softclip, AutoMakeUp};
    long long compared = 0;
    for (int combination = 0; combination < 16; ++combination) {
        Comparison run(GetParam(), 0xFA570000u + static_cast<unsigned>(combination));
        for (int i = 0; i < kParameterCount; ++i) {
            run.setParameter(i, parameterValue(run.random(), i));
        }
        for (int s = 0; s < 4; ++s) {
            run.setParameter(switches[s], (combination >> s) & 1 ? 1.0f : 0.0f);
        }
        compared += run.run(128000, false);
        ASSERT_FALSE(HasFailure()) << "switch combination " << combination;
    }
    report(quorvel::simdLevelName(GetParam()), compared);
    EXPECT_GE(compared, 2000000);
}

// Rates that are unusable (0, negative, NaN, infinite, subnormal) or odd, switched between
// blocks together with the parameters: the coefficient cache must never hand out the
// coefficients of another rate or snapshot.
TEST_P(FastPath, MatchesTheReferenceAcrossRateAndParameterChanges) {
    Comparison run(GetParam(), 0xFA571000u);
    run.setParameter(Active, 1.0f);
    const long long compared = run.run(300000, true);
    ASSERT_FALSE(HasFailure());
    report("rates and parameters changing", compared);
    EXPECT_GE(compared, 300000);
}

// Every block length from 0 to 80 (all unit and step remainders, the pipeline's start and
// drain, its steady state), in every layout and both modes, with the soft clipper on and off.
TEST_P(FastPath, EveryShortBlockLengthInEveryLayout) {
    Comparison run(GetParam(), 0xFA572000u);
    long long compared = 0;
    for (int clip = 0; clip < 2; ++clip) {
        run.setParameter(Softclip, static_cast<float>(clip));
        run.setParameter(Depth, 0.7f);
        for (int layout = 0; layout < kLayouts; ++layout) {
            for (int frames = 0; frames <= 80; ++frames) {
                for (int mode = 0; mode < 2; ++mode) {
                    compared += run.block(frames, static_cast<Layout>(layout), mode == 0);
                    ASSERT_FALSE(HasFailure())
                        << frames << " frames, layout " << layout << ", clip " << clip;
                }
            }
        }
    }
    report("short blocks", compared);
}

// Depth at 100 % under loud input: the gain falls through the subnormal floats and stays at the
// smallest one, while the input decays into them as well.
TEST_P(FastPath, GainAndSamplesInTheSubnormalRange) {
    Comparison run(GetParam(), 0xFA573000u);
    run.setParameter(Depth, 1.0f);
    run.setParameter(Attack, 0.0f);
    long long compared = 0;
    for (int b = 0; b < 200; ++b) {
        compared += run.block(512, b % 2 == 0 ? Layout::Separate : Layout::InPlace, true);
        ASSERT_FALSE(HasFailure()) << "block " << b;
    }
    report("subnormal gain and samples", compared);
}

// An infinite sample meeting a gain of exactly 0 (a fresh engine) comes out as a zero of its
// sign at every level, in every lane of pipelined blocks and of short ones.
TEST_P(FastPath, InfiniteSamplesMeetingZeroGainGiveSignedZeros) {
    ParamBytes params = snapshotParameters(defaultValues());
    for (int frames : {1, 7, 16, 33, 64, 512}) {
        {
            DynamicsEngine engine;
            ASSERT_TRUE(engine.setSimdLevel(GetParam()));
            std::vector<float> left(static_cast<std::size_t>(frames), kInf);
            std::vector<float> right(static_cast<std::size_t>(frames), -kInf);
            engine.process(left.data(), right.data(), frames, &params, 44100.0f);
            for (int i = 0; i < frames; ++i) {
                ASSERT_EQ(left[static_cast<std::size_t>(i)], 0.0f) << frames << " " << i;
                ASSERT_FALSE(std::signbit(left[static_cast<std::size_t>(i)]));
                ASSERT_EQ(right[static_cast<std::size_t>(i)], 0.0f) << frames << " " << i;
                ASSERT_TRUE(std::signbit(right[static_cast<std::size_t>(i)]));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllLevels, FastPath,
                         testing::Values(SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2),
                         levelName);

// The engine on its own (no meters, no output copy) against the reference engine: every level
// on the same material.
TEST_P(FastPath, EngineAloneMatchesTheReferenceEngine) {
    Random rng(0xFA574000u);
    const char* level = quorvel::simdLevelName(GetParam());
    DynamicsEngine engine;
    ASSERT_TRUE(engine.setSimdLevel(GetParam()));
    EXPECT_EQ(engine.simdLevel(), GetParam());
    reference::EngineState expected;
    engine.smoothedGain = 0.0f;
    for (int b = 0; b < 300; ++b) {
        ParamBytes p;
        for (int i = 0; i < kParameterCount; ++i) {
            p.bytes[i] = static_cast<std::uint8_t>(rng.below(129));
        }
        p.bytes[Active] = rng.chance(0.9) ? 128 : 0;
        const float rate = rng.chance(0.9) ? 44100.0f : 0.0f;
        const int frames = blockLength(rng);
        const bool mono = rng.chance(0.2);
        std::vector<float> left(static_cast<std::size_t>(frames > 0 ? frames : 1));
        std::vector<float> right(left.size());
        fillSignal(rng, left.data(), right.data(), frames > 0 ? frames : 0);
        std::vector<float> wantL = left, wantR = right;
        reference::engineProcess(expected, wantL.data(), mono ? wantL.data() : wantR.data(), frames,
                                 p, rate);
        engine.process(left.data(), mono ? left.data() : right.data(), frames, &p, rate);
        for (std::size_t k = 0; k < left.size(); ++k) {
            ASSERT_EQ(bitsOf(wantL[k]), bitsOf(left[k]))
                << level << " block " << b << " frame " << k;
            ASSERT_EQ(bitsOf(wantR[k]), bitsOf(right[k]))
                << level << " block " << b << " frame " << k;
        }
        ASSERT_EQ(bitsOf(expected.smoothedGain), bitsOf(engine.smoothedGain.load()))
            << level << " block " << b;
        ASSERT_EQ(bitsOf(expected.thresholdLevel), bitsOf(engine.thresholdLevel.load()))
            << level << " block " << b;
    }
}

// An output channel that overlaps an input channel in part (a host bug, but not one to crash on)
// takes the passes one after the other over the whole block: the outputs exactly as the plain
// routine in place leaves them, every input sample outside the outputs as it was.
TEST(FastPathEngine, OutputsOverlappingInputsInPartFollowThePlainOrder) {
    Random rng(0xFA576000u);
    auto effect = audiotest::makeEffect();
    reference::EffectState state;
    for (int b = 0; b < 40; ++b) {
        const int frames = 1 + rng.below(700);
        const int shift = 1 + rng.below(9);
        // Product and reference each get: input 0 and output 0 in one buffer, `shift` apart.
        std::vector<float> mine[3];
        for (auto& v : mine) {
            v.resize(static_cast<std::size_t>(frames + shift));
        }
        fillSignal(rng, mine[0].data(), mine[1].data(), frames);
        fillSignal(rng, mine[2].data(), mine[0].data() + frames, shift);
        std::vector<float> theirs[3] = {mine[0], mine[1], mine[2]};
        const std::vector<float> held[3] = {mine[0], mine[1], mine[2]};
        float* inputs[2] = {mine[0].data(), mine[1].data()};
        float* outputs[2] = {mine[0].data() + shift, mine[2].data()};
        float* refInputs[2] = {theirs[0].data(), theirs[1].data()};
        float* refOutputs[2] = {theirs[0].data() + shift, theirs[2].data()};
        const bool replace = b % 2 == 0;
        if (replace) {
            effect->processReplacing(inputs, outputs, frames);
        } else {
            effect->process(inputs, outputs, frames);
        }
        reference::processBlock(state, refInputs, refOutputs, frames, replace);
        for (int c = 0; c < 3; ++c) {
            for (std::size_t k = 0; k < mine[c].size(); ++k) {
                // Buffer 0 is an output from `shift` on, buffer 1 only an input.
                const bool output = c == 2 || (c == 0 && k >= static_cast<std::size_t>(shift));
                const float want = output ? theirs[c][k] : held[c][k];
                if (!replace && std::isnan(want) && std::isnan(mine[c][k])) {
                    continue; // NaN + NaN: see Comparison::block
                }
                ASSERT_EQ(bitsOf(want), bitsOf(mine[c][k]))
                    << "block " << b << " buffer " << c << " sample " << k;
            }
        }
        ASSERT_EQ(bitsOf(state.inputPeak), bitsOf(effect->inputPeak.load()));
        ASSERT_EQ(bitsOf(state.outputPeak), bitsOf(effect->outputPeak.load()));
        ASSERT_EQ(bitsOf(state.engine.smoothedGain), bitsOf(effect->engine.smoothedGain.load()));
    }
}

// The pipeline skips the soft clipper for steps whose samples are all at most kTanhIdentity in
// magnitude, because the clipper returns such samples unchanged: every float of the top three
// binades below the bound (where x^2/3 comes closest to a rounding boundary), every 61st float
// further down, the subnormals among them, both signs. (All 1.9e9 floats of the range were
// checked once; that takes seconds.)
TEST(FastPathEngine, SoftClipperIsTheIdentityBelowTheSkipBound) {
    const float bound = quorvel::engine_kernel::kTanhIdentity;
    const std::uint32_t top = bitsOf(bound);
    const std::uint32_t dense = bitsOf(bound / 8.0f);
    long long checked = 0;
    for (std::uint32_t b = 0; b <= top; b += b < dense ? 61u : 1u) {
        float x;
        std::memcpy(&x, &b, sizeof x);
        for (const float v : {x, -x}) {
            const float t = static_cast<float>(std::tanh(static_cast<double>(v)));
            ASSERT_EQ(bitsOf(v), bitsOf(t)) << std::hexfloat << v;
            ++checked;
        }
    }
    EXPECT_GT(checked, 50000000);
    // Just above the bound the identity soon ends: the skip is not a no-op test.
    const float beyond = 0x1.713746p-12f;
    EXPECT_NE(bitsOf(beyond), bitsOf(static_cast<float>(std::tanh(static_cast<double>(beyond)))));
}

// The smoother alone (the benchmark's serial floor) is the smoother of the rules.
TEST(FastPathEngine, SmootherAloneIsThePlainSmoother) {
    Random rng(0xFA575000u);
    quorvel::engine_levels::Coefficients k{};
    k.attack = 0.99;
    k.release = 0.9999;
    k.attackComplement = 1.0 - k.attack;
    k.releaseComplement = 1.0 - k.release;
    const int n = 5000;
    std::vector<double> t(n), ta(n), tr(n);
    for (int i = 0; i < n; ++i) {
        t[i] = rng.chance(0.5) ? 1.0 : rng.uniform();
        ta[i] = k.attackComplement * t[i];
        tr[i] = k.releaseComplement * t[i];
    }
    std::vector<float> want(n);
    float g = 0.25f;
    for (int i = 0; i < n; ++i) {
        const double d = g;
        g = static_cast<float>(d > t[i] ? k.attack * d + (1.0 - k.attack) * t[i]
                                        : k.release * d + (1.0 - k.release) * t[i]);
        want[i] = g;
    }
    using Smooth = float (*)(const double*, const double*, const double*, int,
                             const quorvel::engine_levels::Coefficients&, float, float*);
    std::vector<std::pair<SimdLevel, Smooth>> levels = {
        {SimdLevel::Scalar, &quorvel::engine_levels::smoothOnlyScalar}};
#if defined(__i386__) || defined(__x86_64__)
    levels.push_back({SimdLevel::Sse2, &quorvel::engine_levels::smoothOnlySse2});
    levels.push_back({SimdLevel::Avx2, &quorvel::engine_levels::smoothOnlyAvx2});
#endif
    for (const auto& [level, smooth] : levels) {
        if (!speedtest::levelRunsHere(level)) {
            continue; // FastPath.* reports the level as skipped
        }
        std::vector<float> got(n);
        const float last = smooth(t.data(), ta.data(), tr.data(), n, k, 0.25f, got.data());
        EXPECT_EQ(bitsOf(want.back()), bitsOf(last)) << quorvel::simdLevelName(level);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(bitsOf(want[i]), bitsOf(got[i])) << quorvel::simdLevelName(level) << " " << i;
        }
    }
}

} // namespace
