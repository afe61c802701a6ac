// The audio path under anything a host or a broken editor could hand it: parameter values
// written directly (NaN, infinities, negative, above 1), any sample rate through the
// dispatcher (0, negative, NaN, infinite, tiny, huge), block sizes from negative to a few
// thousand, replace and accumulate, buffers shared between channels or between input and
// output (also overlapping in part), and samples of every class (NaN, infinities, denormals,
// 1e30).
//
// Invariants, checked after every block:
// - no crash and no sanitizer report (every buffer is a heap block of its exact size, so a
//   block of 0 or fewer frames must touch none);
// - the engine's smoothedGain is finite, and so is its threshold;
// - neither meter is ever NaN, and a block of 0 or fewer frames leaves both meters and the gain
//   exactly as they were;
// - with Active and Softclip on, every sample processReplacing writes is within [-1, 1],
//   unless its input frame held a NaN;
// - with Active off, processReplacing copies the input bit for bit.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>

#include "dsp/Parameters.h"
#include "fuzz/FuzzSupport.h"
#include "plugin/CompressorEffect.h"
#include "tests/support/TestSignals.h"

using namespace fuzzing;

namespace {

const float kSampleRates[] = {
    0.0f,      -0.0f,
    -44100.0f, std::numeric_limits<float>::quiet_NaN(),
    kInf,      -kInf,
    1e-30f,    std::numeric_limits<float>::denorm_min(),
    1e30f,     std::numeric_limits<float>::max(),
    1.0f,      0.001f,
    8000.0f,   44100.0f,
    48000.0f,  96000.0f,
    192000.0f,
};

// Long blocks filled from a few input bytes.
using Noise = test_signals::Xorshift32;

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void fillChannel(Input& in, float* samples, int frames) {
    if (frames <= 0) {
        return;
    }
    Noise noise{in.u32() | 1u};
    const float level = in.oneOf(kSpecialValues);
    const unsigned pattern = in.pick(5);
    for (int k = 0; k < frames; ++k) {
        switch (pattern) {
        case 0: // noise at the chosen level (NaN, infinite, denormal or plain)
            samples[k] = noise.uniform() * level;
            break;
        case 1: // a constant
            samples[k] = level;
            break;
        case 2: { // denormals of both signs, and zeros
            const std::uint32_t bits = noise.next() & 0x807FFFFFu;
            std::memcpy(&samples[k], &bits, sizeof bits);
            break;
        }
        case 3: { // any bit pattern
            const std::uint32_t bits = noise.next();
            std::memcpy(&samples[k], &bits, sizeof bits);
            break;
        }
        default: // a loud burst that stops: the gain falls, then recovers towards denormals
            samples[k] = k < frames / 4 ? noise.uniform() * 4.0f : 0.0f;
            break;
        }
    }
    // A few chosen values at chosen places.
    for (unsigned n = in.pick(6); n > 0; --n) {
        samples[in.u16() % static_cast<unsigned>(frames)] = in.oneOf(kSpecialValues);
    }
}

VstInt32 chooseFrames(Input& in) {
    switch (in.pick(10)) {
    case 0:
        return -1;
    case 1:
        return static_cast<VstInt32>(in.u32() | 0x80000000u); // any negative count
    case 2:
        return 0;
    case 3:
        return 1;
    default:
        return static_cast<VstInt32>(in.u16() % 4097u);
    }
}

// Exactly `frames` floats (none for 0 or fewer): an access beyond is an AddressSanitizer report.
std::unique_ptr<float[]> channel(VstInt32 frames) {
    return std::unique_ptr<float[]>(new float[frames > 0 ? static_cast<std::size_t>(frames) : 0]);
}

class Session {
public:
    explicit Session(Input& in) : in(in) {
        record = createInstance();
        effect = static_cast<CompressorEffect*>(EffectBase::fromRecord(record));
        checkState();
    }

    ~Session() { closeInstance(record); }

    void run() {
        int steps = 0;
        while (!in.empty() && steps++ < 256) {
            switch (in.pick(8)) {
            case 0:
            case 1:
                effect->core.setParameterValue(static_cast<int>(in.pick(kParameterCount)),
                                               in.oneOf(kSpecialValues));
                break;
            case 2:
                if (in.flag()) {
                    dispatch(record, effSetSampleRate, 0, 0, nullptr, in.oneOf(kSampleRates));
                } else {
                    dispatch(record, effSetBlockSizeAndSampleRate, 0, in.i32(), nullptr,
                             in.oneOf(kSampleRates));
                }
                break;
            default:
                processBlock();
                break;
            }
        }
    }

private:
    void processBlock() {
        const VstInt32 frames = chooseFrames(in);
        const bool replace = in.pick(4) != 0;
        // 0, 1: separate buffers; 2: in place; 3: one buffer per side; 4: each output channel
        // overlaps its input channel in part (a broken host; only the state is checked then).
        const unsigned sharing = in.pick(5);
        const std::size_t count = frames > 0 ? static_cast<std::size_t>(frames) : 0;
        const bool overlapping = sharing == 4 && count >= 2;
        const std::size_t shift = overlapping ? 1 + in.u16() % (count - 1) : 0;

        auto inLeft = channel(frames + static_cast<VstInt32>(shift));
        auto inRight = channel(frames + static_cast<VstInt32>(shift));
        auto outLeft = channel(frames);
        auto outRight = channel(frames);
        fillChannel(in, inLeft.get(), frames + static_cast<VstInt32>(shift));
        fillChannel(in, inRight.get(), frames + static_cast<VstInt32>(shift));
        fillChannel(in, outLeft.get(), frames); // what accumulate adds to
        fillChannel(in, outRight.get(), frames);

        float* inputs[2] = {inLeft.get(), inRight.get()};
        float* outputs[2] = {outLeft.get(), outRight.get()};
        if (sharing == 2) {
            outputs[0] = inputs[0];
            outputs[1] = inputs[1];
        } else if (sharing == 3) {
            inputs[1] = inputs[0];
            outputs[1] = outputs[0];
        } else if (overlapping) {
            outputs[0] = inputs[0] + shift;
            outputs[1] = inputs[1] + shift;
        }

        // What the input held before the call: only the output buffers may change.
        auto heldLeft = channel(frames);
        auto heldRight = channel(frames);
        if (count > 0) {
            std::memcpy(heldLeft.get(), inputs[0], count * sizeof(float));
            std::memcpy(heldRight.get(), inputs[1], count * sizeof(float));
        }

        // The snapshot this block will run with: nothing else writes the values meanwhile.
        const bool active = quantiseParameter(effect->core.parameter(Active)) != 0;
        const bool softclip = quantiseParameter(effect->core.parameter(Softclip)) != 0;
        const std::uint32_t gainBefore = bitsOf(effect->core.engine.smoothedGain.load());
        const std::uint32_t inputPeakBefore = bitsOf(effect->core.inputPeak.load());
        const std::uint32_t outputPeakBefore = bitsOf(effect->core.outputPeak.load());

        if (replace) {
            record->processReplacing(record, inputs, outputs, frames);
        } else {
            record->process(record, inputs, outputs, frames);
        }

        checkState();
        // The inputs are the host's: untouched unless they are the outputs too (in place),
        // and where an output overlaps them in part, untouched before it.
        const std::size_t unwritten = sharing == 2 ? 0 : overlapping ? shift : count;
        for (std::size_t k = 0; k < unwritten; ++k) {
            FUZZ_CHECK(bitsOf(inputs[0][k]) == bitsOf(heldLeft[k]));
            FUZZ_CHECK(bitsOf(inputs[1][k]) == bitsOf(heldRight[k]));
        }
        if (frames <= 0) {
            FUZZ_CHECK(bitsOf(effect->core.engine.smoothedGain.load()) == gainBefore);
            FUZZ_CHECK(bitsOf(effect->core.inputPeak.load()) == inputPeakBefore);
            FUZZ_CHECK(bitsOf(effect->core.outputPeak.load()) == outputPeakBefore);
            return;
        }
        if (overlapping) {
            return;
        }
        if (!replace || !active) {
            if (replace) {
                for (std::size_t k = 0; k < count; ++k) {
                    FUZZ_CHECK(bitsOf(outputs[0][k]) == bitsOf(heldLeft[k]));
                    FUZZ_CHECK(bitsOf(outputs[1][k]) == bitsOf(heldRight[k]));
                }
            }
            return;
        }
        if (softclip) {
            for (std::size_t k = 0; k < count; ++k) {
                if (std::isnan(heldLeft[k]) || std::isnan(heldRight[k])) {
                    continue;
                }
                // Also an infinite sample meeting a gain of exactly 0 (a fresh instance, or
                // Depth at 100 % after the gain has fallen to 0) comes out as a signed zero.
                const auto bounded = [](float sample) { return sample >= -1.0f && sample <= 1.0f; };
                if (!bounded(outputs[0][k]) || !bounded(outputs[1][k])) {
                    std::fprintf(stderr, "frame %zu of %zu: input %g, %g gave %g, %g (gain %g)\n",
                                 k, count, heldLeft[k], heldRight[k], outputs[0][k], outputs[1][k],
                                 effect->core.engine.smoothedGain.load());
                    FUZZ_CHECK(!"soft-clipped output within [-1, 1]");
                }
            }
        }
    }

    void checkState() {
        FUZZ_CHECK(std::isfinite(effect->core.engine.smoothedGain.load()));
        FUZZ_CHECK(std::isfinite(effect->core.engine.thresholdLevel.load()));
        FUZZ_CHECK(!std::isnan(effect->core.inputPeak.load()));
        FUZZ_CHECK(!std::isnan(effect->core.outputPeak.load()));
    }

    Input& in;
    AEffect* record = nullptr;
    CompressorEffect* effect = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    Session session(in);
    session.run();
    return 0;
}
