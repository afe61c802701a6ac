// The audio sequence that both test hosts send through a loaded plug-in: the Windows test
// host drives the DLLs under Wine, the native runner the Linux shared object. Both write what
// the plug-in produced to a file, and the files must be equal byte for byte.
//
// The input is made from integers and exactly rounded single-precision products only (no
// library mathematics), so every platform generates the same bits. The sequence covers blocks
// of varied sizes (0 and 1 included), replace and accumulate, sample-rate changes, suspend and
// resume, and a signal with silence, quiet passages, bursts above full scale and denormals.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/Vst2Interface.h"
#include "tests/support/TestHost.h"

namespace audio_scenario {

// xorshift32: the same sequence everywhere.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : state(seed) {}

    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }

    // Uniform in [-1, 1): a signed 24-bit integer scaled by 2^-23, both steps exact.
    float sample() {
        const std::int32_t value = static_cast<std::int32_t>(next() >> 8) - (1 << 23);
        return static_cast<float>(value) * (1.0f / 8388608.0f);
    }

private:
    std::uint32_t state;
};

// Level of the signal by position in the stream: segments of differing length and level.
struct Segment {
    int length;
    float left;
    float right;
};

inline const std::vector<Segment>& segments() {
    static const std::vector<Segment> table = {
        {900, 0.0f, 0.0f},     // silence: the gain starts from 0
        {1300, 0.05f, 0.04f},  // quiet, below the threshold
        {700, 0.9f, 0.7f},     // burst above the threshold
        {1, 1.0f, 0.0f},       // one full-scale sample in the left channel
        {2200, 0.02f, 0.02f},  // release after the burst
        {450, 1.6f, 1.9f},     // above full scale: the soft clipper works
        {1000, 0.3f, 0.01f},   // one-sided level: the detector is linked
        {600, 0.0f, 0.0f},     // silence again
        {800, 1e-39f, 1e-39f}, // denormal input
        {1500, 0.6f, 0.6f},    // steady loud passage
        {333, 0.0f, 1.2f},     // right channel alone above full scale
        {2000, 0.12f, 0.15f},  // medium
    };
    return table;
}

// Sample `index` of the stream for one channel.
class Signal {
public:
    Signal() : leftNoise(0x1234567u), rightNoise(0x89abcdefu), previousNoise(0x2468aceu) {}

    void fill(float* left, float* right, int frames) {
        const std::vector<Segment>& table = segments();
        for (int k = 0; k < frames; ++k) {
            const Segment& segment = table[segmentIndex];
            left[k] = leftNoise.sample() * segment.left;
            right[k] = rightNoise.sample() * segment.right;
            if (++positionInSegment == segment.length) {
                positionInSegment = 0;
                segmentIndex = (segmentIndex + 1) % static_cast<int>(table.size());
            }
        }
    }

    // What the host's output buffers held before an accumulating block.
    void fillPrevious(float* left, float* right, int frames) {
        for (int k = 0; k < frames; ++k) {
            left[k] = previousNoise.sample() * 0.25f;
            right[k] = previousNoise.sample() * 0.25f;
        }
    }

private:
    Noise leftNoise;
    Noise rightNoise;
    Noise previousNoise;
    int segmentIndex = 0;
    int positionInSegment = 0;
};

enum class Action {
    SetSampleRate,
    SetBlockSizeAndSampleRate,
    Suspend,
    Resume,
    Replace,
    Accumulate
};

struct Step {
    Action action;
    int frames;       // blocks: frame count; SetBlockSizeAndSampleRate: block size
    float sampleRate; // the two rate actions
};

inline const std::vector<Step>& steps() {
    using A = Action;
    static const std::vector<Step> table = {
        {A::SetSampleRate, 0, 44100.0f},
        {A::Resume, 0, 0.0f},
        {A::Replace, 512, 0.0f},
        {A::Replace, 0, 0.0f},
        {A::Replace, 1, 0.0f},
        {A::Replace, 64, 0.0f},
        {A::Replace, 1023, 0.0f},
        {A::Replace, 7, 0.0f},
        {A::Replace, 2048, 0.0f},
        {A::Replace, 1, 0.0f},
        {A::Replace, 333, 0.0f},
        {A::Accumulate, 256, 0.0f},
        {A::Accumulate, 0, 0.0f},
        {A::Accumulate, 1, 0.0f},
        {A::Accumulate, 100, 0.0f},
        {A::SetSampleRate, 0, 48000.0f},
        {A::Replace, 480, 0.0f},
        {A::Replace, 4096, 0.0f},
        {A::Replace, 3, 0.0f},
        {A::Accumulate, 777, 0.0f},
        {A::Suspend, 0, 0.0f},
        {A::Resume, 0, 0.0f},
        {A::SetBlockSizeAndSampleRate, 2048, 96000.0f},
        {A::Replace, 2048, 0.0f},
        {A::Replace, 1, 0.0f},
        {A::Replace, 0, 0.0f},
        {A::Replace, 960, 0.0f},
        {A::Accumulate, 2000, 0.0f},
        {A::Replace, 5000, 0.0f},
        {A::SetSampleRate, 0, 44100.0f},
        {A::Replace, 1500, 0.0f},
        {A::Accumulate, 2, 0.0f},
        {A::Replace, 8192, 0.0f},
    };
    return table;
}

// Samples a block's buffers carry past the frame count; the plug-in must leave them alone.
constexpr int kGuardFrames = 16;

inline bool isBlock(const Step& step) {
    return step.action == Action::Replace || step.action == Action::Accumulate;
}

// What one block contributes to the result: output left, output right, then the input buffers
// (the plug-in processes them in place), frames samples each.
inline std::size_t samplesOfBlock(const Step& step) {
    return isBlock(step) ? 4u * static_cast<std::size_t>(step.frames) : 0u;
}

// Says where sample `index` of the result came from, for messages about a difference.
inline std::string describeSample(std::size_t index) {
    static const char* const parts[4] = {"output left", "output right", "input left (in place)",
                                         "input right (in place)"};
    std::size_t offset = 0;
    const std::vector<Step>& table = steps();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::size_t size = samplesOfBlock(table[i]);
        if (index < offset + size) {
            const std::size_t within = index - offset;
            const std::size_t frames = static_cast<std::size_t>(table[i].frames);
            return "step " + std::to_string(i) + " (" +
                   (table[i].action == Action::Replace ? "replace" : "accumulate") + ", " +
                   std::to_string(frames) + " frames), " + parts[within / frames] + " frame " +
                   std::to_string(within % frames);
        }
        offset += size;
    }
    return "past the end of the sequence";
}

inline bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

using test_host::dispatch;

// How run() calls the plug-in's entries: directly by default; the Windows test host also goes
// through a trampoline that misaligns the stack.
struct Calls {
    VstIntPtr (*dispatch)(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float);
    void (*processReplacing)(AEffect*, float**, float**, VstInt32);
    void (*process)(AEffect*, float**, float**, VstInt32);
};

inline const Calls& directCalls() {
    static const Calls calls = {
        &test_host::dispatch,
        [](AEffect* e, float** in, float** out, VstInt32 n) { e->processReplacing(e, in, out, n); },
        [](AEffect* e, float** in, float** out, VstInt32 n) { e->process(e, in, out, n); }};
    return calls;
}

// Runs the whole sequence through `effect`, a fresh instance at its defaults. Appends every
// block's result to `result`. Returns an empty string, or what went wrong: a write outside the
// frame count, a replacing block that left an output sample unwritten, or an input sample
// written (the inputs are the host's).
inline std::string run(AEffect* effect, std::vector<float>& result,
                       const Calls& calls = directCalls()) {
    Signal signal;
    // Canary values: a replacing block must overwrite the first, nothing may touch the second.
    const float unwritten = -12345.0f;
    const float guard = 98765.0f;
    const std::vector<Step>& table = steps();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const Step& step = table[i];
        switch (step.action) {
        case Action::SetSampleRate:
            calls.dispatch(effect, effSetSampleRate, 0, 0, nullptr, step.sampleRate);
            continue;
        case Action::SetBlockSizeAndSampleRate:
            calls.dispatch(effect, effSetBlockSizeAndSampleRate, 0, step.frames, nullptr,
                           step.sampleRate);
            continue;
        case Action::Suspend:
            calls.dispatch(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
            continue;
        case Action::Resume:
            calls.dispatch(effect, effSetBlockSize, 0, 8192, nullptr, 0.0f);
            calls.dispatch(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
            continue;
        case Action::Replace:
        case Action::Accumulate:
            break;
        }
        const int frames = step.frames;
        const std::size_t size = static_cast<std::size_t>(frames + kGuardFrames);
        std::vector<float> inLeft(size, guard), inRight(size, guard);
        std::vector<float> outLeft(size, guard), outRight(size, guard);
        signal.fill(inLeft.data(), inRight.data(), frames);
        const bool replace = step.action == Action::Replace;
        if (replace) {
            std::fill(outLeft.begin(), outLeft.begin() + frames, unwritten);
            std::fill(outRight.begin(), outRight.begin() + frames, unwritten);
        } else {
            signal.fillPrevious(outLeft.data(), outRight.data(), frames);
        }
        const std::vector<float> heldLeft = inLeft, heldRight = inRight;
        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        if (replace) {
            calls.processReplacing(effect, inputs, outputs, frames);
        } else {
            calls.process(effect, inputs, outputs, frames);
        }
        const std::string where = "step " + std::to_string(i) + " (" + std::to_string(frames) +
                                  (replace ? " frames, replace)" : " frames, accumulate)");
        for (std::size_t k = static_cast<std::size_t>(frames); k < size; ++k) {
            if (!sameBits(inLeft[k], guard) || !sameBits(inRight[k], guard) ||
                !sameBits(outLeft[k], guard) || !sameBits(outRight[k], guard)) {
                return where + ": a sample past the frame count was written (frame " +
                       std::to_string(k) + ")";
            }
        }
        for (int k = 0; k < frames; ++k) {
            if (!sameBits(inLeft[k], heldLeft[k]) || !sameBits(inRight[k], heldRight[k])) {
                return where + ": input frame " + std::to_string(k) + " was written";
            }
        }
        for (int k = 0; replace && k < frames; ++k) {
            if (sameBits(outLeft[k], unwritten) || sameBits(outRight[k], unwritten)) {
                return where + ": output frame " + std::to_string(k) + " was not written";
            }
        }
        for (const std::vector<float>* channel : {&outLeft, &outRight, &inLeft, &inRight}) {
            result.insert(result.end(), channel->begin(), channel->begin() + frames);
        }
    }
    return std::string();
}

// The number of samples run() appends.
inline std::size_t resultSize() {
    std::size_t total = 0;
    for (const Step& step : steps()) {
        total += samplesOfBlock(step);
    }
    return total;
}

inline bool writeFloats(const std::string& path, const std::vector<float>& samples) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const std::size_t written = std::fwrite(samples.data(), sizeof(float), samples.size(), file);
    return std::fclose(file) == 0 && written == samples.size();
}

inline bool readFloats(const std::string& path, std::vector<float>& samples) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return false;
    }
    samples.clear();
    float buffer[4096];
    std::size_t count;
    while ((count = std::fread(buffer, sizeof(float), 4096, file)) > 0) {
        samples.insert(samples.end(), buffer, buffer + count);
    }
    std::fclose(file);
    return true;
}

} // namespace audio_scenario
