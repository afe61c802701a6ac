// The comparison harness of the audio and speed tests: the product (the core through its two
// entries) and the plain reference, driven block by block with the same material and compared
// to the bit after every block: every buffer the host handed over, the meters, the gain and the
// threshold. Its seeded numbers are portable (the standard distributions are not).
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/audio/AudioTestSupport.h"
#include "tests/audio/Reference.h"

namespace audiotest {

class Random {
public:
    explicit Random(std::uint64_t seed) : engine(seed) {}
    double uniform() { return static_cast<double>(engine() >> 11) * 0x1.0p-53; }
    int below(int n) { return static_cast<int>(engine() % static_cast<std::uint64_t>(n)); }
    bool chance(double p) { return uniform() < p; }
    double logUniform(double low, double high) { return low * std::pow(high / low, uniform()); }

private:
    std::mt19937_64 engine;
};

// A knob's value: a switch on or off; a continuous value at either end with probability
// `atEnds`, else anywhere in 0..1.
inline float randomParameter(Random& rng, int index, double atEnds) {
    if (kParameterTable[index].kind == ParameterKind::Switch) {
        return rng.chance(0.5) ? 1.0f : 0.0f;
    }
    if (rng.chance(atEnds)) {
        return rng.chance(0.5) ? 0.0f : 1.0f;
    }
    return static_cast<float>(rng.uniform());
}

class ProductVsReference {
public:
    // Fills the block's buffers (inputs, and outputs where the test wants them preset) with
    // n >= 0 frames of material.
    using Fill = std::function<void(HostBuffers& buffers, int n)>;

    // `label` names the run in failure messages (the instruction-set level, say).
    explicit ProductVsReference(std::string label = "")
        : product(makeEffect()), label(std::move(label)) {}

    Processor& processor() { return *product; }

    void setParameter(int index, float value) {
        product->setParameterValue(index, value);
        state.parameters[index] = value;
    }

    void setRate(float rate) {
        product->setSampleRate(rate);
        state.sampleRate = rate;
    }

    // One block; returns the frames compared, 0 after a difference (reported through gtest).
    long long block(int frames, Layout layout, bool replace, const Fill& fill) {
        actual.arrange(layout, frames);
        expected.arrange(layout, frames);
        const int n = frames > 0 ? frames : 0;
        fill(actual, n);
        for (int c = 0; c < 4; ++c) {
            expected.storage[c] = actual.storage[c];
        }
        // The reference works in place on its inputs; the product only writes its outputs.
        const std::vector<float> held[4] = {actual.storage[0], actual.storage[1], actual.storage[2],
                                            actual.storage[3]};
        if (replace) {
            product->processReplacing(actual.inputs, actual.outputs, frames);
        } else {
            product->process(actual.inputs, actual.outputs, frames);
        }
        reference::processBlock(state, expected.inputs, expected.outputs, frames, replace);

        // Adding into an output that is another channel's buffer can add two NaNs. Which NaN
        // such a sum keeps depends on how the compiler orders the operands of the plain loop's
        // addition (it differs between the reference's own vectorised and scalar loops), so
        // there any NaN is accepted. Everywhere else a NaN must match to the bit.
        const bool nanSums = !replace && (layout == Layout::Swapped || layout == Layout::OneOutput);
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < n; ++k) {
                const auto i = static_cast<std::size_t>(k);
                const float want = (actual.written(c) ? expected.storage[c] : held[c])[i];
                const float got = actual.storage[c][i];
                if (nanSums && std::isnan(want) && std::isnan(got)) {
                    continue;
                }
                if (bitsOf(want) != bitsOf(got)) {
                    ADD_FAILURE() << "buffer " << c << " frame " << k << " of " << frames << " ("
                                  << (replace ? "replace" : "accumulate") << ", layout "
                                  << static_cast<int>(layout) << "): expected " << want << ", got "
                                  << got << describe();
                    return 0;
                }
            }
        }
        if (!same(state.inputPeak, product->inputPeak, "inputPeak") ||
            !same(state.outputPeak, product->outputPeak, "outputPeak") ||
            !same(state.engine.smoothedGain, product->engine.smoothedGain, "smoothedGain") ||
            !same(state.engine.thresholdLevel, product->engine.thresholdLevel, "thresholdLevel")) {
            return 0;
        }
        return n;
    }

private:
    bool same(float want, const std::atomic<float>& value, const char* name) const {
        const float got = value.load(std::memory_order_relaxed);
        if (bitsOf(want) != bitsOf(got)) {
            ADD_FAILURE() << name << ": expected " << want << ", got " << got << describe();
            return false;
        }
        return true;
    }

    std::string describe() const {
        std::string text = " [" + (label.empty() ? "" : label + ", ") + "rate " +
                           std::to_string(state.sampleRate) + ", bytes";
        const ParamBytes bytes = reference::snapshot(state.parameters);
        for (int i = 0; i < kParameterCount; ++i) {
            text += " " + std::to_string(bytes.bytes[i]);
        }
        return text + "]";
    }

    std::unique_ptr<Processor> product;
    reference::EffectState state;
    HostBuffers actual;
    HostBuffers expected;
    std::string label;
};

} // namespace audiotest
