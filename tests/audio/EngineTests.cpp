// The dynamics engine on its own: the documented numbers, the parameter mapping as heard in
// the gain, and the guarded cases (non-finite input, shared buffers, unusable sample rates).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "dsp/DynamicsEngine.h"
#include "tests/audio/AudioTestSupport.h"
#include "tests/audio/Reference.h"

using audiotest::bitsOf;
using audiotest::bytesOf;
using audiotest::defaultBytes;

using audiotest::kInf;
using audiotest::kNaN;

namespace {

ParamBytes withByte(ParamBytes p, int index, int value) {
    p.bytes[index] = static_cast<std::uint8_t>(value);
    return p;
}

ParamBytes softclipOff() {
    return withByte(defaultBytes(), Softclip, 0);
}

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

Stereo constant(float left, float right, int frames) {
    return {std::vector<float>(frames, left), std::vector<float>(frames, right)};
}

void run(DynamicsEngine& engine, Stereo& s, const ParamBytes& p, float rate) {
    engine.process(s.left.data(), s.right.data(), static_cast<std::int32_t>(s.left.size()), &p,
                   rate);
}

float gainOf(const DynamicsEngine& engine) {
    return engine.smoothedGain.load(std::memory_order_relaxed);
}

float thresholdOf(const DynamicsEngine& engine) {
    return engine.thresholdLevel.load(std::memory_order_relaxed);
}

// Relative closeness for the decimals the documentation quotes.
void expectClose(double expected, double actual, double relative) {
    EXPECT_NEAR(expected, actual, std::fabs(expected) * relative);
}

} // namespace

// --- Documented numbers ------------------------------------------------------------------

TEST(EngineDocumentedNumbers, FirstSampleOfFreshEngineAtDefaults) {
    for (bool clip : {false, true}) {
        DynamicsEngine engine;
        engine.smoothedGain = 0.0f; // as the effect constructs it
        Stereo s = constant(0.5f, 0.5f, 1);
        run(engine, s, withByte(defaultBytes(), Softclip, clip ? 128 : 0), 44100.0f);
        // 0.5 x (1 - r) x t x G with r = 0.99988743, t = 0.597162, G = 1.778279.
        expectClose(5.9770e-05, s.left[0], 1e-4);
        EXPECT_EQ(bitsOf(s.left[0]), bitsOf(s.right[0]));
        expectClose(6.7223e-05, gainOf(engine), 1e-4);
        expectClose(0.256177, thresholdOf(engine), 1e-5);
    }
}

TEST(EngineDocumentedNumbers, SteadyLevelOfHalfScaleInput) {
    const double target = 0.597162; // T = 0.256177, R = 5.75
    for (bool clip : {false, true}) {
        DynamicsEngine engine;
        Stereo s;
        for (int block = 0; block < 10 * 44100 / 4410; ++block) {
            s = constant(0.5f, 0.5f, 4410);
            run(engine, s, withByte(defaultBytes(), Softclip, clip ? 128 : 0), 44100.0f);
        }
        EXPECT_NEAR(clip ? 0.486 : 0.531, s.left.back(), 0.0005);
        EXPECT_EQ(bitsOf(s.left.back()), bitsOf(s.right.back()));
        // The stored gain stalls a little short of the target, never beyond it.
        EXPECT_LT(gainOf(engine), target);
        EXPECT_NEAR(target, gainOf(engine), 3e-4);
    }
}

TEST(EngineDocumentedNumbers, LimiterWithAutomaticMakeUpReachesFullScale) {
    ParamBytes p = softclipOff();
    p.bytes[Limiter] = 128;
    p.bytes[AutoMakeUp] = 128;
    DynamicsEngine engine;
    Stereo s;
    for (int block = 0; block < 100; ++block) {
        s = constant(0.8f, -0.3f, 4410);
        run(engine, s, p, 44100.0f);
    }
    EXPECT_NEAR(1.0, s.left.back(), 1e-3);
    EXPECT_NEAR(-0.375, s.right.back(), 1e-3);
    // One gain for both channels: the ratio of the outputs is the ratio of the inputs.
    EXPECT_NEAR(-0.3 / 0.8, s.right.back() / s.left.back(), 1e-6);
}

TEST(EngineDocumentedNumbers, ThresholdLevelAcrossTheByteRange) {
    const double expected[3][2] = {{0, 0.01}, {64, 0.256177}, {128, 0.994709}};
    for (const auto& row : expected) {
        DynamicsEngine engine;
        const ParamBytes p = withByte(defaultBytes(), Threshold, static_cast<int>(row[0]));
        engine.process(nullptr, nullptr, 0, &p, 44100.0f);
        expectClose(row[1], thresholdOf(engine), 2e-6);
    }
}

// --- Gain computer and smoother ----------------------------------------------------------

// With a rate of 0 both coefficients are 0, so the stored gain equals each sample's target.
TEST(EngineGainComputer, LevelEqualToThresholdCountsAsBelow) {
    ParamBytes p = softclipOff();
    p.bytes[Depth] = 128; // above the threshold the target is 0
    DynamicsEngine engine;
    engine.process(nullptr, nullptr, 0, &p, 0.0f);
    const float T = thresholdOf(engine);

    Stereo atThreshold = constant(T, 0.0f, 1);
    run(engine, atThreshold, p, 0.0f);
    EXPECT_EQ(1.0f, gainOf(engine));

    Stereo justAbove = constant(0.0f, std::nextafter(T, 1.0f), 1);
    run(engine, justAbove, p, 0.0f);
    EXPECT_EQ(0.0f, gainOf(engine));
    EXPECT_EQ(0.0f, justAbove.right[0]);
}

TEST(EngineGainComputer, DepthAtMaximumPullsTheGainToSilenceAboveThreshold) {
    ParamBytes p = softclipOff();
    p.bytes[Depth] = 128;
    DynamicsEngine engine;
    engine.smoothedGain = 1.0f;
    Stereo loud = constant(0.9f, 0.9f, 44100);
    run(engine, loud, p, 44100.0f);
    EXPECT_LT(gainOf(engine), 1e-6f);
    // Back below the threshold the gain recovers towards 1 with the release.
    Stereo quiet = constant(0.1f, 0.1f, 44100);
    run(engine, quiet, p, 44100.0f);
    EXPECT_GT(gainOf(engine), 0.99f);
}

TEST(EngineGainComputer, UnityRatioOnlyAppliesTheOutputGain) {
    const double expectedGain[3][2] = {{0, 0.1}, {64, 1.0}, {128, 10.0}};
    for (const auto& row : expectedGain) {
        ParamBytes p = softclipOff();
        p.bytes[Ratio] = 0;
        p.bytes[Output] = static_cast<std::uint8_t>(row[0]);
        DynamicsEngine engine;
        Stereo s = constant(0.9f, -0.02f, 16);
        run(engine, s, p, 0.0f);
        EXPECT_EQ(1.0f, gainOf(engine));
        expectClose(0.9 * row[1], s.left.back(), 1e-6);
        expectClose(-0.02 * row[1], s.right.back(), 1e-6);
    }
}

TEST(EngineGainComputer, LoudLeftReducesQuietRightByTheSameGain) {
    DynamicsEngine alone;
    DynamicsEngine linked;
    Stereo quiet = constant(0.1f, 0.1f, 44100);
    Stereo mixed = constant(0.9f, 0.1f, 44100);
    run(alone, quiet, softclipOff(), 44100.0f);
    run(linked, mixed, softclipOff(), 44100.0f);
    EXPECT_LT(mixed.right.back(), 0.8f * quiet.right.back());
    EXPECT_NEAR(0.1 / 0.9, mixed.right.back() / mixed.left.back(), 1e-6);
}

TEST(EngineGainComputer, SilenceRaisesTheGainWithTheReleaseAndStaysSilent) {
    DynamicsEngine engine;
    Stereo s = constant(0.0f, 0.0f, 44100);
    run(engine, s, defaultBytes(), 44100.0f);
    for (std::size_t i = 0; i < s.left.size(); ++i) {
        ASSERT_EQ(0.0f, s.left[i]);
        ASSERT_EQ(0.0f, s.right[i]);
    }
    // One second of the 201.43 ms release: 1 - exp(-1000 / 201.43) of the way up.
    EXPECT_NEAR(1.0 - std::exp(-1000.0 / 201.43), gainOf(engine), 5e-4);
}

// The first step from a known gain exposes the coefficient: from 0 towards a target of 1 the
// new gain is 1 - r; from 1 towards a target of 0 it is a.
TEST(EngineGainComputer, AttackAndReleaseTimesFollowTheirBytes) {
    const double rate = 44100.0;
    const double samplesPerMs = static_cast<double>(0.001f * static_cast<float>(rate));
    for (int byte : {0, 29, 64, 127, 128}) {
        const double fraction = byte / 128.0;
        const double releaseMs = 50.0 + 2950.0 * fraction * fraction;
        const double attackMs = 0.1 + 199.9 * fraction * fraction;

        DynamicsEngine rising;
        Stereo silence = constant(0.0f, 0.0f, 1);
        run(rising, silence, withByte(defaultBytes(), Release, byte), 44100.0f);
        expectClose(1.0 - std::exp(-1.0 / (releaseMs * samplesPerMs)), gainOf(rising), 1e-4);

        ParamBytes p = withByte(defaultBytes(), Attack, byte);
        p.bytes[Depth] = 128;
        DynamicsEngine falling;
        falling.smoothedGain = 1.0f;
        Stereo loud = constant(0.9f, 0.9f, 1);
        run(falling, loud, p, 44100.0f);
        expectClose(std::exp(-1.0 / (attackMs * samplesPerMs)), gainOf(falling), 1e-6);
    }
}

// --- Switches and block edges ------------------------------------------------------------

TEST(EngineSwitches, ActiveOffLeavesBuffersAndFieldsUntouched) {
    DynamicsEngine engine;
    engine.smoothedGain = 0.25f;
    engine.thresholdLevel = 0.75f;
    Stereo s = constant(3.0f, -0.5f, 64);
    s.left[5] = kNaN;
    run(engine, s, withByte(defaultBytes(), Active, 0), 44100.0f);
    EXPECT_EQ(0.25f, gainOf(engine));
    EXPECT_EQ(0.75f, thresholdOf(engine));
    EXPECT_EQ(3.0f, s.left[0]);
    EXPECT_TRUE(std::isnan(s.left[5]));
    EXPECT_EQ(-0.5f, s.right[63]);
}

TEST(EngineSwitches, EmptyBlockPublishesThresholdOnly) {
    for (std::int32_t count : {0, -1, -4096}) {
        DynamicsEngine engine;
        engine.smoothedGain = 0.25f;
        engine.thresholdLevel = 0.75f;
        float left[2] = {5.0f, 5.0f};
        float right[2] = {-5.0f, -5.0f};
        const ParamBytes p = withByte(defaultBytes(), Threshold, 128);
        engine.process(left, right, count, &p, 44100.0f);
        EXPECT_EQ(0.25f, gainOf(engine));
        expectClose(0.994709, thresholdOf(engine), 2e-6);
        // The soft clipper did not run either.
        EXPECT_EQ(5.0f, left[0]);
        EXPECT_EQ(-5.0f, right[1]);
    }
}

TEST(EngineSwitches, SoftClipperBoundsTheOutput) {
    // Ratio 1:1 and a rate of 0: the gain is 1 at once, so the clipper sees the input x 10.
    ParamBytes p = defaultBytes();
    p.bytes[Ratio] = 0;
    p.bytes[Output] = 128;
    DynamicsEngine engine;
    Stereo s = constant(0.9f, -0.95f, 4);
    s.left[3] = -1e30f;
    run(engine, s, p, 0.0f);
    EXPECT_EQ(1.0f, gainOf(engine));
    EXPECT_LT(s.left[0], 1.0f); // tanh(9.0) still rounds below 1
    EXPECT_GT(s.left[0], 0.9999f);
    EXPECT_EQ(-1.0f, s.right[0]); // beyond about 9.011: exactly -1 once rounded
    EXPECT_EQ(-1.0f, s.left[3]);

    // Softclip off: nothing bounds the output.
    Stereo unclipped = constant(0.9f, -0.95f, 1);
    run(engine, unclipped, withByte(p, Softclip, 0), 0.0f);
    EXPECT_NEAR(9.0, unclipped.left[0], 1e-4);
}

// --- Guarded cases -----------------------------------------------------------------------

// An infinite sample must not poison the gain: the frame keeps the previous gain, and what
// follows is processed exactly as if that frame had not been there.
TEST(EngineNonFinite, InfiniteSampleKeepsTheGainAndLaterAudioIsNormal) {
    ParamBytes limiter = defaultBytes();
    limiter.bytes[Limiter] = 128;
    ParamBytes deep = softclipOff();
    deep.bytes[Depth] = 128;
    for (const ParamBytes& p : {defaultBytes(), softclipOff(), limiter, deep}) {
        for (float bad : {kInf, -kInf}) {
            for (int channel : {0, 1}) {
                DynamicsEngine withBad;
                DynamicsEngine without;
                Stereo before = constant(0.7f, -0.6f, 300);
                Stereo beforeCopy = before;
                run(withBad, before, p, 44100.0f);
                run(without, beforeCopy, p, 44100.0f);
                const float gainBefore = gainOf(withBad);

                Stereo badFrame = constant(0.7f, -0.6f, 1);
                (channel == 0 ? badFrame.left : badFrame.right)[0] = bad;
                run(withBad, badFrame, p, 44100.0f);
                ASSERT_TRUE(std::isfinite(gainOf(withBad)));
                EXPECT_EQ(bitsOf(gainBefore), bitsOf(gainOf(withBad)));

                Stereo after = constant(0.9f, 0.2f, 500);
                Stereo afterCopy = after;
                run(withBad, after, p, 44100.0f);
                run(without, afterCopy, p, 44100.0f);
                for (std::size_t i = 0; i < after.left.size(); ++i) {
                    ASSERT_EQ(bitsOf(afterCopy.left[i]), bitsOf(after.left[i])) << i;
                    ASSERT_EQ(bitsOf(afterCopy.right[i]), bitsOf(after.right[i])) << i;
                }
                EXPECT_EQ(bitsOf(gainOf(without)), bitsOf(gainOf(withBad)));
            }
        }
    }
}

TEST(EngineNonFinite, InfiniteSampleMeetingZeroGainGivesASignedZero) {
    // A fresh engine keeps its gain of 0 through an infinite first sample (the target is NaN),
    // and inf x 0 would be NaN: the sample comes out as a zero of its own sign instead, with the
    // soft clipper on or off, while a NaN input still passes through.
    for (const ParamBytes& p : {defaultBytes(), softclipOff()}) {
        DynamicsEngine engine;
        Stereo s = constant(kInf, -kInf, 1);
        run(engine, s, p, 44100.0f);
        EXPECT_EQ(gainOf(engine), 0.0f);
        EXPECT_EQ(bitsOf(s.left[0]), bitsOf(0.0f));
        EXPECT_EQ(bitsOf(s.right[0]), bitsOf(-0.0f));

        DynamicsEngine nanEngine;
        Stereo n = constant(kInf, kNaN, 1); // the NaN on the right is ignored by the detector
        run(nanEngine, n, p, 44100.0f);
        EXPECT_EQ(gainOf(nanEngine), 0.0f);
        EXPECT_EQ(bitsOf(n.left[0]), bitsOf(0.0f));
        EXPECT_TRUE(std::isnan(n.right[0]));
    }
}

TEST(EngineNonFinite, NaNOnLeftGivesTargetOneAndNaNOnRightIsIgnored) {
    ParamBytes p = softclipOff();
    p.bytes[Depth] = 128; // target 0 above the threshold, 1 at or below
    DynamicsEngine engine;

    Stereo nanLeft = constant(kNaN, 0.9f, 1);
    run(engine, nanLeft, p, 0.0f);
    EXPECT_EQ(1.0f, gainOf(engine));
    EXPECT_TRUE(std::isnan(nanLeft.left[0]));
    EXPECT_GT(nanLeft.right[0], 0.9f); // passed with gain 1 and G = +5 dB

    Stereo nanRight = constant(0.9f, kNaN, 1);
    run(engine, nanRight, p, 0.0f);
    EXPECT_EQ(0.0f, gainOf(engine));
    EXPECT_EQ(0.0f, nanRight.left[0]);
    EXPECT_TRUE(std::isnan(nanRight.right[0]));
}

// A mono host may pass one buffer as both channels. It must come out exactly as a pair of
// identical separate channels would: gain once, soft clipper once.
TEST(EngineSharedBuffer, SameBufferAsBothChannelsIsProcessedOnce) {
    ParamBytes limiter = defaultBytes();
    limiter.bytes[Limiter] = 128;
    limiter.bytes[AutoMakeUp] = 128;
    for (const ParamBytes& p : {defaultBytes(), softclipOff(), limiter}) {
        std::vector<float> signal(3000);
        for (std::size_t i = 0; i < signal.size(); ++i) {
            signal[i] = static_cast<float>(0.9 * std::sin(0.01 * static_cast<double>(i)));
        }
        std::vector<float> shared = signal;
        Stereo separate{signal, signal};

        DynamicsEngine mono;
        DynamicsEngine stereo;
        mono.process(shared.data(), shared.data(), static_cast<std::int32_t>(shared.size()), &p,
                     44100.0f);
        run(stereo, separate, p, 44100.0f);

        for (std::size_t i = 0; i < shared.size(); ++i) {
            ASSERT_EQ(bitsOf(separate.left[i]), bitsOf(shared[i])) << i;
        }
        EXPECT_EQ(bitsOf(gainOf(stereo)), bitsOf(gainOf(mono)));
    }
}

// Rates that are not a finite positive number behave exactly like a rate of 0: no smoothing.
TEST(EngineSampleRate, UnusableRatesBehaveLikeZero) {
    const float rates[] = {-0.0f, -44100.0f, kNaN,
                           kInf,  -kInf,     -std::numeric_limits<float>::denorm_min()};
    ParamBytes noClip = softclipOff();
    for (const ParamBytes& p : {defaultBytes(), noClip}) {
        DynamicsEngine zero;
        Stereo expected = constant(0.5f, -0.25f, 8);
        expected.left[3] = 3.0f;
        const Stereo input = expected;
        run(zero, expected, p, 0.0f);
        // Without smoothing the gain equals the target from the first sample on.
        expectClose(0.597162, gainOf(zero), 1e-5);

        for (float rate : rates) {
            DynamicsEngine engine;
            Stereo s = input;
            run(engine, s, p, rate);
            ASSERT_TRUE(std::isfinite(gainOf(engine))) << rate;
            EXPECT_EQ(bitsOf(gainOf(zero)), bitsOf(gainOf(engine))) << rate;
            for (std::size_t i = 0; i < s.left.size(); ++i) {
                ASSERT_EQ(bitsOf(expected.left[i]), bitsOf(s.left[i])) << rate;
                ASSERT_EQ(bitsOf(expected.right[i]), bitsOf(s.right[i])) << rate;
                if (p.bytes[Softclip] != 0) {
                    ASSERT_LE(std::fabs(s.left[i]), 1.0f);
                }
            }
        }
    }
}

TEST(EngineSampleRate, MatchesTheReferenceAtOrdinaryAndOddRates) {
    const float rates[] = {44100.0f,
                           48000.0f,
                           96000.0f,
                           22050.0f,
                           1.0f,
                           3.0e38f,
                           std::numeric_limits<float>::denorm_min()};
    for (float rate : rates) {
        DynamicsEngine engine;
        reference::EngineState state;
        Stereo s = constant(0.8f, -0.1f, 1000);
        for (std::size_t i = 0; i < s.left.size(); i += 7) {
            s.left[i] = 0.01f;
        }
        Stereo r = s;
        run(engine, s, defaultBytes(), rate);
        reference::engineProcess(state, r.left.data(), r.right.data(),
                                 static_cast<std::int32_t>(r.left.size()), defaultBytes(), rate);
        EXPECT_EQ(bitsOf(state.smoothedGain), bitsOf(gainOf(engine))) << rate;
        for (std::size_t i = 0; i < s.left.size(); ++i) {
            ASSERT_EQ(bitsOf(r.left[i]), bitsOf(s.left[i])) << rate << " at " << i;
            ASSERT_EQ(bitsOf(r.right[i]), bitsOf(s.right[i])) << rate << " at " << i;
        }
    }
}

// --- Order of operations -----------------------------------------------------------------
// Each vector below was found by searching for inputs where the documented order of the
// double-precision operations and a natural alternative round to different floats. The
// expected values are recomputed here from the documented formulas; each test also checks
// that the alternative really differs, so the vector keeps its power to tell them apart.

namespace {

struct Derived {
    double T, S, a, r, G, D;
};

Derived derive(const ParamBytes& p, float rate) {
    auto squared = [](double v) { return v * v; };
    const float m = 0.001f * rate;
    Derived d;
    d.T = static_cast<float>(squared(p.bytes[Threshold] * double{reference::kThresholdPerByte}) +
                             double{0.01f});
    d.S = 1.0 / (1.0 + 19.0 * squared(p.bytes[Ratio] / 128.0));
    d.a = rate > 0 ? std::exp(-1.0 / ((0.1 + 199.9 * squared(p.bytes[Attack] / 128.0)) * m)) : 0;
    d.r = rate > 0 ? std::exp(-1.0 / ((50 + 2950 * squared(p.bytes[Release] / 128.0)) * m)) : 0;
    d.G = std::pow(10.0, ((p.bytes[Output] - 64) * double{0.3125f}) * double{0.05f});
    d.D = static_cast<float>(squared(1.0 - p.bytes[Depth] / 128.0));
    return d;
}

ParamBytes vectorBytes(int threshold, int ratio, int attack, int release, int output, int depth) {
    ParamBytes p = softclipOff();
    p.bytes[Threshold] = static_cast<std::uint8_t>(threshold);
    p.bytes[Ratio] = static_cast<std::uint8_t>(ratio);
    p.bytes[Attack] = static_cast<std::uint8_t>(attack);
    p.bytes[Release] = static_cast<std::uint8_t>(release);
    p.bytes[Output] = static_cast<std::uint8_t>(output);
    p.bytes[Depth] = static_cast<std::uint8_t>(depth);
    return p;
}

} // namespace

// t = (D x (T + (x - T) x S)) / x, not D x ((T + (x - T) x S) / x). At a rate of 0 the stored
// gain is the target rounded to single precision.
TEST(EngineRoundingOrder, TargetIsEvaluatedLeftToRight) {
    const ParamBytes p = vectorBytes(103, 103, 23, 29, 80, 121);
    const float x = 0x1.0e7c92p+0f;
    const Derived d = derive(p, 0.0f);
    const double above = d.T + (x - d.T) * d.S;
    const float documented = static_cast<float>((d.D * above) / x);
    const float alternative = static_cast<float>(d.D * (above / x));
    ASSERT_NE(bitsOf(documented), bitsOf(alternative));

    DynamicsEngine engine;
    Stereo s = constant(x, 0.0f, 1);
    run(engine, s, p, 0.0f);
    EXPECT_EQ(bitsOf(documented), bitsOf(gainOf(engine)));
}

// left = (left x gain) x G with the stored single-precision gain, not left x (gain x G).
TEST(EngineRoundingOrder, OutputProductIsSampleTimesGainThenOutputGain) {
    const ParamBytes p = vectorBytes(32, 73, 23, 29, 66, 56);
    const float x = 0x1.91a4a6p-2f;
    const Derived d = derive(p, 0.0f);

    DynamicsEngine engine;
    Stereo s = constant(x, -x, 1);
    run(engine, s, p, 0.0f);
    const double gain = gainOf(engine);
    const float documented = static_cast<float>((double{x} * gain) * d.G);
    const float alternative = static_cast<float>(double{x} * (gain * d.G));
    ASSERT_NE(bitsOf(documented), bitsOf(alternative));
    EXPECT_EQ(bitsOf(documented), bitsOf(s.left[0]));
    EXPECT_EQ(bitsOf(-documented), bitsOf(s.right[0]));
}

// new = c x g + (1 - c) x t, with c the attack or release coefficient, not t + c x (g - t).
TEST(EngineRoundingOrder, SmootherIsAWeightedSumOfGainAndTarget) {
    struct Case {
        ParamBytes bytes;
        float stored;
        float level;
        bool attack;
    };
    const Case cases[] = {
        {vectorBytes(96, 91, 57, 29, 80, 86), 0x1.bb810ap-1f, 0x1.6edebcp+0f, true},
        {vectorBytes(106, 87, 23, 86, 80, 17), 0x1.e0240ep-7f, 0x1.a95beap-1f, false},
    };
    for (const Case& c : cases) {
        const Derived d = derive(c.bytes, 44100.0f);
        const double x = c.level;
        const double t = (d.D * (d.T + (x - d.T) * d.S)) / x;
        const double g = c.stored;
        ASSERT_EQ(c.attack, g > t);
        const double k = c.attack ? d.a : d.r;
        const float documented = static_cast<float>(k * g + (1.0 - k) * t);
        const float alternative = static_cast<float>(t + k * (g - t));
        ASSERT_NE(bitsOf(documented), bitsOf(alternative));

        DynamicsEngine engine;
        engine.smoothedGain = c.stored;
        Stereo s = constant(c.level, 0.0f, 1);
        run(engine, s, c.bytes, 44100.0f);
        EXPECT_EQ(bitsOf(documented), bitsOf(gainOf(engine))) << (c.attack ? "attack" : "release");
    }
}
