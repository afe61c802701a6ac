// The block routine of the effect: snapshot, level meters, engine call, replace or
// accumulate, and the buffer layouts hosts use.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "tests/audio/AudioTestSupport.h"
#include "tests/audio/Reference.h"

using audiotest::bitsOf;
using audiotest::makeEffect;

using audiotest::kInf;
using audiotest::kNaN;

namespace {

float load(const std::atomic<float>& value) {
    return value.load(std::memory_order_relaxed);
}

// Feeds one stereo frame through processReplacing.
void processFrame(audiotest::Processor& effect, float left, float right) {
    float inLeft = left, inRight = right, outLeft = 0.0f, outRight = 0.0f;
    float* inputs[2] = {&inLeft, &inRight};
    float* outputs[2] = {&outLeft, &outRight};
    effect.processReplacing(inputs, outputs, 1);
}

std::vector<float> ramp(int frames, float scale) {
    std::vector<float> v(frames);
    for (int i = 0; i < frames; ++i) {
        v[i] = scale * static_cast<float>(std::sin(0.05 * i));
    }
    return v;
}

} // namespace

// --- Snapshot ----------------------------------------------------------------------------

TEST(BlockSnapshot, DefaultsGiveTheDocumentedBytes) {
    auto effect = makeEffect();
    const ParamBytes bytes = snapshotParameters(effect->parameters);
    const int expected[kParameterCount] = {64, 64, 23, 29, 128, 0, 80, 128, 0, 0};
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(expected[i], bytes.bytes[i]) << kParameterTable[i].name;
    }
    reference::EffectState state;
    const ParamBytes fromReference = reference::snapshot(state.parameters);
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(expected[i], fromReference.bytes[i]) << kParameterTable[i].name;
    }
}

TEST(BlockSnapshot, TheEngineRunsWithTheSnapshotOfEachBlock) {
    auto effect = makeEffect();
    std::vector<float> left(16, 0.5f), right(16, 0.5f), outLeft, outRight;
    audiotest::runReplacing(*effect, left, right, outLeft, outRight);
    EXPECT_NEAR(0.256177, load(effect->engine.thresholdLevel), 1e-6);

    effect->setParameterValue(Threshold, 1.0f); // byte 128
    audiotest::runReplacing(*effect, left, right, outLeft, outRight);
    EXPECT_NEAR(0.994709, load(effect->engine.thresholdLevel), 1e-6);

    effect->setParameterValue(Threshold, std::nextafter(1.0f, 0.0f)); // byte 127
    audiotest::runReplacing(*effect, left, right, outLeft, outRight);
    EXPECT_LT(load(effect->engine.thresholdLevel), 0.99f);
}

// --- Level meters ------------------------------------------------------------------------

TEST(BlockMeters, SingleFullScaleSampleReadsJustBelowOneThenFallsLinearly) {
    auto effect = makeEffect();
    processFrame(*effect, 0.0f, 0.0f);
    EXPECT_EQ(0.0f, load(effect->inputPeak));

    processFrame(*effect, 1.0f, 0.0f);
    EXPECT_EQ(static_cast<float>(1.0 - 0.0001), load(effect->inputPeak));
    EXPECT_NEAR(0.9999, load(effect->inputPeak), 1e-7);

    // One sample per block: each block restarts from the stored single-precision value.
    double expected = static_cast<float>(1.0 - 0.0001);
    int steps = 0;
    while (load(effect->inputPeak) > 0.0f) {
        processFrame(*effect, 0.0f, 0.0f);
        expected = static_cast<float>(expected - 0.0001);
        ASSERT_EQ(static_cast<float>(expected), load(effect->inputPeak));
        ASSERT_LT(++steps, 10001);
    }
    EXPECT_GT(load(effect->inputPeak), -0.0001f);
    EXPECT_GE(steps, 9990);
    processFrame(*effect, 0.0f, 0.0f);
    EXPECT_EQ(0.0f, load(effect->inputPeak));
}

TEST(BlockMeters, NoCeilingAtFullScale) {
    auto effect = makeEffect();
    processFrame(*effect, 0.0f, -2.0f);
    EXPECT_EQ(static_cast<float>(2.0 - 0.0001), load(effect->inputPeak));
    EXPECT_NEAR(1.9999, load(effect->inputPeak), 1e-6);
}

TEST(BlockMeters, NonFiniteSamplesNeverRaiseAMeter) {
    for (float bad : {kNaN, kInf, -kInf}) {
        auto effect = makeEffect();
        effect->setParameterValue(Softclip, 0.0f); // let the engine's output stay non-finite
        processFrame(*effect, bad, bad);
        EXPECT_EQ(0.0f, load(effect->inputPeak)) << bad;
        EXPECT_EQ(0.0f, load(effect->outputPeak)) << bad;

        // Raised by a finite sample, then the bad frame only takes the usual release step.
        auto twin = makeEffect();
        twin->setParameterValue(Softclip, 0.0f);
        processFrame(*effect, 0.5f, 0.25f);
        processFrame(*twin, 0.5f, 0.25f);
        processFrame(*effect, bad, 0.0f);
        processFrame(*twin, 0.0f, 0.0f);
        EXPECT_EQ(bitsOf(load(twin->inputPeak)), bitsOf(load(effect->inputPeak))) << bad;
        EXPECT_TRUE(std::isfinite(load(effect->outputPeak))) << bad;
        EXPECT_LT(load(effect->inputPeak), 0.5f);

        for (int i = 0; i < 6000; ++i) {
            processFrame(*effect, 0.0f, bad);
        }
        EXPECT_LE(load(effect->inputPeak), 0.0f) << bad;
        EXPECT_LE(load(effect->outputPeak), 0.0f) << bad;
    }
}

TEST(BlockMeters, OutputMeterMeasuresTheEngineOutputOnly) {
    auto effect = makeEffect();
    std::vector<float> left(64, 0.5f), right(64, 0.5f);
    std::vector<float> outLeft(64, 50.0f), outRight(64, -50.0f);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect->process(inputs, outputs, 64);
    EXPECT_LT(load(effect->outputPeak), 0.01f); // the gain is still rising from 0
    EXPECT_GT(load(effect->outputPeak), 0.0f);
    EXPECT_EQ(static_cast<float>(0.5 - 0.0001), load(effect->inputPeak));
}

TEST(BlockMeters, EmptyBlocksLeaveMetersAndBuffersAloneButStillRunTheEngine) {
    auto effect = makeEffect();
    processFrame(*effect, 0.5f, 0.5f);
    const float inputPeak = load(effect->inputPeak);
    const float outputPeak = load(effect->outputPeak);
    const float gain = load(effect->engine.smoothedGain);
    effect->setParameterValue(Threshold, 0.0f);

    for (std::int32_t frames : {0, -1}) {
        float left[1] = {0.75f}, right[1] = {-0.75f}, outLeft[1] = {9.0f}, outRight[1] = {-9.0f};
        float* inputs[2] = {left, right};
        float* outputs[2] = {outLeft, outRight};
        effect->processReplacing(inputs, outputs, frames);
        effect->process(inputs, outputs, frames);
        EXPECT_EQ(inputPeak, load(effect->inputPeak));
        EXPECT_EQ(outputPeak, load(effect->outputPeak));
        EXPECT_EQ(gain, load(effect->engine.smoothedGain));
        EXPECT_EQ(0.75f, left[0]);
        EXPECT_EQ(-0.75f, right[0]);
        EXPECT_EQ(9.0f, outLeft[0]);
        EXPECT_EQ(-9.0f, outRight[0]);
    }
    // The engine was called: it published the new threshold.
    EXPECT_NEAR(0.01, load(effect->engine.thresholdLevel), 1e-9);
}

// --- Output modes and buffer layouts -----------------------------------------------------

TEST(BlockOutput, ReplaceAndAccumulateIntoSeparateBuffers) {
    auto replacing = makeEffect();
    auto accumulating = makeEffect();
    const std::vector<float> leftIn = ramp(512, 0.9f), rightIn = ramp(512, -0.4f);
    std::vector<float> left = leftIn, right = rightIn;
    std::vector<float> left2 = left, right2 = right;
    std::vector<float> outLeft(512, 7.0f), outRight(512, 7.0f);
    std::vector<float> sumLeft(512), sumRight(512);
    for (int i = 0; i < 512; ++i) {
        sumLeft[i] = 0.001f * i;
        sumRight[i] = -0.3f;
    }
    const std::vector<float> before = sumLeft;

    float* in1[2] = {left.data(), right.data()};
    float* out1[2] = {outLeft.data(), outRight.data()};
    replacing->processReplacing(in1, out1, 512);
    float* in2[2] = {left2.data(), right2.data()};
    float* out2[2] = {sumLeft.data(), sumRight.data()};
    accumulating->process(in2, out2, 512);

    for (int i = 0; i < 512; ++i) {
        // The host's inputs are read, never written.
        ASSERT_EQ(bitsOf(leftIn[i]), bitsOf(left[i]));
        ASSERT_EQ(bitsOf(rightIn[i]), bitsOf(right[i]));
        ASSERT_EQ(bitsOf(leftIn[i]), bitsOf(left2[i]));
        ASSERT_EQ(bitsOf(rightIn[i]), bitsOf(right2[i]));
        ASSERT_EQ(bitsOf(before[i] + outLeft[i]), bitsOf(sumLeft[i]));
        ASSERT_EQ(bitsOf(-0.3f + outRight[i]), bitsOf(sumRight[i]));
    }
}

TEST(BlockOutput, HostPassingTheSameBuffersForInputAndOutput) {
    auto separate = makeEffect();
    auto replacing = makeEffect();
    auto accumulating = makeEffect();
    std::vector<float> left = ramp(300, 1.5f), right = ramp(300, 0.2f), outLeft, outRight;
    std::vector<float> inPlaceL = left, inPlaceR = right, addL = left, addR = right;
    audiotest::runReplacing(*separate, left, right, outLeft, outRight);

    float* shared1[2] = {inPlaceL.data(), inPlaceR.data()};
    replacing->processReplacing(shared1, shared1, 300);
    float* shared2[2] = {addL.data(), addR.data()};
    accumulating->process(shared2, shared2, 300);

    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(bitsOf(outLeft[i]), bitsOf(inPlaceL[i]));
        ASSERT_EQ(bitsOf(outRight[i]), bitsOf(inPlaceR[i]));
        ASSERT_EQ(bitsOf(2.0f * outLeft[i]), bitsOf(addL[i]));
        ASSERT_EQ(bitsOf(2.0f * outRight[i]), bitsOf(addR[i]));
    }
}

TEST(BlockOutput, MonoHostPassingOneInputBufferForBothChannels) {
    auto mono = makeEffect();
    auto stereo = makeEffect();
    std::vector<float> signal = ramp(700, 1.2f);
    std::vector<float> shared = signal, left = signal, right = signal, outLeft, outRight;
    std::vector<float> monoLeft(700), monoRight(700);
    float* inputs[2] = {shared.data(), shared.data()};
    float* outputs[2] = {monoLeft.data(), monoRight.data()};
    mono->processReplacing(inputs, outputs, 700);
    audiotest::runReplacing(*stereo, left, right, outLeft, outRight);

    for (int i = 0; i < 700; ++i) {
        ASSERT_EQ(bitsOf(outLeft[i]), bitsOf(monoLeft[i]));
        ASSERT_EQ(bitsOf(outLeft[i]), bitsOf(monoRight[i]));
        ASSERT_EQ(bitsOf(signal[i]), bitsOf(shared[i]));
    }
    EXPECT_EQ(bitsOf(load(stereo->outputPeak)), bitsOf(load(mono->outputPeak)));
    EXPECT_EQ(bitsOf(load(stereo->engine.smoothedGain)), bitsOf(load(mono->engine.smoothedGain)));
}

TEST(BlockOutput, ActiveOffPassesTheInputThrough) {
    auto effect = makeEffect();
    effect->setParameterValue(Active, 0.0f);
    std::vector<float> left = ramp(100, 3.0f), right = ramp(100, -0.5f), outLeft, outRight;
    const std::vector<float> original = left;
    audiotest::runReplacing(*effect, left, right, outLeft, outRight);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(bitsOf(original[i]), bitsOf(outLeft[i]));
        ASSERT_EQ(bitsOf(original[i]), bitsOf(left[i]));
    }
    EXPECT_EQ(0.0f, load(effect->engine.smoothedGain));
    EXPECT_EQ(load(effect->inputPeak), load(effect->outputPeak));
    EXPECT_GT(load(effect->inputPeak), 2.9f);
}

TEST(BlockOutput, NewSampleRateTakesEffectAtTheNextBlock) {
    auto effect = makeEffect();
    reference::EffectState state;
    for (float rate : {44100.0f, 96000.0f, 0.0f, 22050.0f}) {
        effect->setSampleRate(rate);
        state.sampleRate = rate;
        std::vector<float> left = ramp(200, 0.8f), right = ramp(200, 0.1f), outLeft, outRight;
        std::vector<float> refLeft = left, refRight = right, refOutLeft(200), refOutRight(200);
        audiotest::runReplacing(*effect, left, right, outLeft, outRight);
        float* inputs[2] = {refLeft.data(), refRight.data()};
        float* outputs[2] = {refOutLeft.data(), refOutRight.data()};
        reference::processBlock(state, inputs, outputs, 200, true);
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(bitsOf(refOutLeft[i]), bitsOf(outLeft[i])) << rate;
        }
        EXPECT_EQ(bitsOf(state.engine.smoothedGain), bitsOf(load(effect->engine.smoothedGain)));
    }
}
