// Helpers shared by the audio tests: bit-exact comparison, snapshots, the processor as a host
// drives it.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "core/CompressorCore.h"
#include "dsp/Parameters.h"

namespace audiotest {

inline constexpr float kInf = std::numeric_limits<float>::infinity();
inline constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr float kDenormMin = std::numeric_limits<float>::denorm_min();

inline std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

inline ParamBytes bytesOf(std::initializer_list<int> values) {
    ParamBytes p{};
    int i = 0;
    for (int v : values) {
        p.bytes[i++] = static_cast<std::uint8_t>(v);
    }
    return p;
}

// The bytes the default parameter values give.
inline ParamBytes defaultBytes() {
    return bytesOf({64, 64, 23, 29, 128, 0, 80, 128, 0, 0});
}

// The core with the two entries and the sample rate a host gives the plug-in (44.1 kHz until
// the host sets another), so the tests drive the block routine as a host does.
class Processor : public CompressorCore {
public:
    void processReplacing(float** inputs, float** outputs, std::int32_t frames) {
        processBlock(inputs, outputs, frames, rate, true);
    }
    void process(float** inputs, float** outputs, std::int32_t frames) {
        processBlock(inputs, outputs, frames, rate, false);
    }
    void setSampleRate(float sampleRate) { rate = sampleRate; }
    float getSampleRate() const { return rate; }

private:
    float rate = 44100.0f;
};

inline std::unique_ptr<Processor> makeEffect() {
    return std::make_unique<Processor>();
}

// Runs processReplacing on separate stereo buffers; returns the outputs, left then right.
inline void runReplacing(Processor& effect, std::vector<float>& left, std::vector<float>& right,
                         std::vector<float>& outLeft, std::vector<float>& outRight) {
    outLeft.assign(left.size(), 0.0f);
    outRight.assign(right.size(), 0.0f);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect.processReplacing(inputs, outputs, static_cast<std::int32_t>(left.size()));
}

// How a host may lay out its four channel buffers: separate, one input buffer for both
// channels, in place, and outputs that share buffers with the inputs or with each other.
enum class Layout { Separate, MonoInput, InPlace, MonoInPlace, Swapped, OneOutput };
constexpr int kLayouts = 6;

struct HostBuffers {
    std::vector<float> storage[4];
    float* inputs[2] = {};
    float* outputs[2] = {};

    void arrange(Layout layout, int frames) {
        for (auto& s : storage) {
            s.resize(static_cast<std::size_t>(frames > 0 ? frames : 1));
        }
        float* in0 = storage[0].data();
        float* in1 = storage[1].data();
        float* out0 = storage[2].data();
        float* out1 = storage[3].data();
        switch (layout) {
        case Layout::Separate:
            break;
        case Layout::MonoInput:
            in1 = in0;
            break;
        case Layout::InPlace:
            out0 = in0;
            out1 = in1;
            break;
        case Layout::MonoInPlace:
            in1 = in0;
            out0 = in0;
            out1 = in0;
            break;
        case Layout::Swapped: // left output into the right input buffer and back
            out0 = in1;
            out1 = in0;
            break;
        case Layout::OneOutput: // both outputs in one buffer
            out1 = out0;
            break;
        }
        inputs[0] = in0;
        inputs[1] = in1;
        outputs[0] = out0;
        outputs[1] = out1;
    }

    // Whether buffer c holds an output channel. Only those may change in a block: an input
    // buffer that is no output is the host's, read and never written.
    bool written(int c) const {
        return storage[c].data() == outputs[0] || storage[c].data() == outputs[1];
    }
};

} // namespace audiotest
