// The product against the plain reference, bit for bit, over seeded random material: every
// byte of each continuous parameter, every switch combination, block sizes from 0 to 4096,
// ordinary and unusable sample rates, both output modes and the buffer layouts hosts use.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iostream>
#include <limits>
#include <random>
#include <vector>

#include "tests/audio/ProductVsReference.h"

using audiotest::HostBuffers;
using audiotest::Layout;
using audiotest::ProductVsReference;
using audiotest::Random;
using audiotest::randomParameter;

using audiotest::kInf;
using audiotest::kNaN;

namespace {

const int kContinuous[] = {Threshold, Ratio, Attack, Release, Output, Depth};
const int kSwitches[] = {Active, Limiter, Softclip, AutoMakeUp};

// Test material: tones, noise, drum-like bursts, silence and denormals, with the odd
// non-finite or extreme sample sprinkled in.
class SignalMaker {
public:
    explicit SignalMaker(Random& r) : rng(r) {}

    void fill(float* left, float* right, int frames) {
        const int kind = rng.below(6);
        const double amplitude = rng.logUniform(1e-3, 4.0);
        const double step = rng.logUniform(1e-3, 0.5);
        for (int i = 0; i < frames; ++i) {
            double l = 0.0, r = 0.0;
            switch (kind) {
            case 0: // tone
                phase += step;
                l = amplitude * std::sin(phase);
                r = amplitude * std::sin(phase * 1.01 + 0.3);
                break;
            case 1: // noise
                l = amplitude * (2.0 * rng.uniform() - 1.0);
                r = amplitude * (2.0 * rng.uniform() - 1.0);
                break;
            case 2: // loud decaying bursts over a quiet tone
                if (rng.chance(0.002)) {
                    burst = rng.logUniform(0.5, 20.0);
                }
                burst *= 0.995;
                phase += step;
                l = 0.05 * std::sin(phase) + burst * (2.0 * rng.uniform() - 1.0);
                r = 0.05 * std::cos(phase) + burst * (2.0 * rng.uniform() - 1.0);
                break;
            case 3: // silence
                break;
            case 4: // denormals and tiny values
                l = 1e-39 * (2.0 * rng.uniform() - 1.0);
                r = 1e-42 * rng.below(3);
                break;
            default: // one loud channel, one quiet
                l = amplitude * (2.0 * rng.uniform() - 1.0);
                r = 0.01 * amplitude * (2.0 * rng.uniform() - 1.0);
                break;
            }
            left[i] = sprinkle(static_cast<float>(l));
            right[i] = sprinkle(static_cast<float>(r));
        }
    }

private:
    float sprinkle(float value) {
        if (!rng.chance(0.0007)) {
            return value;
        }
        const float specials[] = {kNaN,
                                  -kNaN,
                                  kInf,
                                  -kInf,
                                  std::numeric_limits<float>::max(),
                                  -0.0f,
                                  std::numeric_limits<float>::denorm_min(),
                                  1e30f};
        return specials[rng.below(8)];
    }

    Random& rng;
    double phase = 0.0;
    double burst = 0.0;
};

int pickBlockSize(Random& rng) {
    const int sizes[] = {0, 1, 2, 3, 7, 31, 64, 127, 255, 512, 1023, 4096};
    if (rng.chance(0.25)) {
        return 2 * rng.below(2048) + 1; // any odd size up to 4095
    }
    if (rng.chance(0.03)) {
        return -rng.below(5);
    }
    return sizes[rng.below(12)];
}

// One run: a fresh product and a fresh reference, driven block by block with the same
// material, compared after every block.
class ComparisonRun {
public:
    ComparisonRun(std::uint64_t seed, const float (&parameters)[kParameterCount], float rate)
        : rng(seed), signal(rng) {
        for (int i = 0; i < kParameterCount; ++i) {
            comparison.setParameter(i, parameters[i]);
        }
        setRate(rate);
    }

    // Processes blocks until at least `frames` frames have been compared. Returns the
    // number compared; stops at the first difference (reported through gtest).
    long long run(long long frames, bool varyParameters) {
        long long compared = 0;
        while (compared < frames && !::testing::Test::HasFailure()) {
            if (varyParameters && rng.chance(0.15)) {
                const int index = rng.below(kParameterCount);
                comparison.setParameter(index, randomParameter(rng, index, 0.05));
            }
            compared += block(pickBlockSize(rng));
        }
        return compared;
    }

    void setRate(float rate) { comparison.setRate(rate); }

private:
    long long block(int frames) {
        const Layout layout = static_cast<Layout>(rng.below(4));
        const bool replace = rng.chance(0.6);
        return comparison.block(frames, layout, replace, [&](HostBuffers& buffers, int n) {
            signal.fill(buffers.inputs[0], buffers.inputs[1], n);
            if (layout == Layout::Separate || layout == Layout::MonoInput) {
                for (int k = 0; k < n; ++k) {
                    buffers.outputs[0][k] = static_cast<float>(rng.uniform() - 0.5);
                    buffers.outputs[1][k] = static_cast<float>(rng.uniform() - 0.5);
                }
            }
        });
    }

    Random rng;
    SignalMaker signal;
    ProductVsReference comparison;
};

void randomParameters(Random& rng, float (&parameters)[kParameterCount]) {
    for (int i = 0; i < kParameterCount; ++i) {
        parameters[i] = randomParameter(rng, i, 0.05);
    }
}

} // namespace

// Every one of the 129 bytes of each continuous parameter, the value anywhere within the byte's
// step, the other parameters random.
TEST(ReferenceComparison, EveryByteOfEveryContinuousParameter) {
    Random setup(0x5EED0001);
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};
    long long compared = 0;
    for (int index : kContinuous) {
        for (int byte = 0; byte <= 128; ++byte) {
            float parameters[kParameterCount];
            randomParameters(setup, parameters);
            parameters[Active] = setup.chance(0.9) ? 1.0f : 0.0f;
            const double within = byte == 128 ? 0.0 : setup.uniform();
            parameters[index] = static_cast<float>((byte + within) / 128.0);
            ASSERT_EQ(byte, quantiseParameter(parameters[index]));
            ComparisonRun run(0xA0000000u + static_cast<unsigned>(index * 1000 + byte), parameters,
                              rates[setup.below(4)]);
            compared += run.run(1100, false);
            ASSERT_FALSE(HasFailure()) << kParameterTable[index].name << " byte " << byte;
        }
    }
    std::cout << "[          ] " << compared << " stereo frames compared\n";
    EXPECT_GE(compared, 6LL * 129 * 1100);
}

// Each of the 16 combinations of the four switches at each ordinary rate and a rate of 0,
// with parameters changing between blocks.
TEST(ReferenceComparison, EverySwitchCombinationAtEachRate) {
    Random setup(0x5EED0002);
    const float rates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f, 0.0f};
    long long compared = 0;
    for (int combination = 0; combination < 16; ++combination) {
        for (float rate : rates) {
            float parameters[kParameterCount];
            randomParameters(setup, parameters);
            for (int s = 0; s < 4; ++s) {
                parameters[kSwitches[s]] = (combination >> s) & 1 ? 1.0f : 0.0f;
            }
            ComparisonRun run(0xB0000000u + static_cast<unsigned>(combination * 10) +
                                  static_cast<unsigned>(rate),
                              parameters, rate);
            compared += run.run(5000, true);
            ASSERT_FALSE(HasFailure()) << "switch combination " << combination;
        }
    }
    std::cout << "[          ] " << compared << " stereo frames compared\n";
    EXPECT_GE(compared, 16LL * 5 * 5000);
}

// Odd and unusable sample rates, and rate changes between blocks.
TEST(ReferenceComparison, OddAndUnusableSampleRates) {
    Random setup(0x5EED0003);
    const float rates[] = {0.0f,
                           -0.0f,
                           -44100.0f,
                           kNaN,
                           kInf,
                           -kInf,
                           1.0f,
                           1e-30f,
                           std::numeric_limits<float>::denorm_min(),
                           std::numeric_limits<float>::max(),
                           8000.0f,
                           11025.5f,
                           192000.0f,
                           384000.0f};
    long long compared = 0;
    for (float rate : rates) {
        float parameters[kParameterCount];
        randomParameters(setup, parameters);
        parameters[Active] = 1.0f;
        ComparisonRun run(0xC0000000u + static_cast<unsigned>(compared), parameters, rate);
        compared += run.run(8000, true);
        ASSERT_FALSE(HasFailure()) << "rate " << rate;
        // Then hop between rates from block to block.
        for (int hop = 0; hop < 8; ++hop) {
            run.setRate(rates[setup.below(14)]);
            compared += run.run(1000, true);
        }
        ASSERT_FALSE(HasFailure()) << "rate changes after " << rate;
    }
    std::cout << "[          ] " << compared << " stereo frames compared\n";
    EXPECT_GE(compared, 14LL * 16000);
}
