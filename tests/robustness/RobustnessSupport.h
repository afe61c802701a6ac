// Shared by the robustness tests: instances made and closed as a host does,
// a stereo block with its buffers, and the bounded durations of the stress tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "host/Vst2Interface.h"
#include "plugin/CompressorEffect.h"
#include "plugin/PluginEntry.h"
#include "tests/support/TestHost.h"

namespace robustness {

using test_host::dispatch;

inline AEffect* createInstance() {
    return pluginMain(&test_host::versionOnlyCallback);
}

inline CompressorEffect& effectOf(AEffect* record) {
    return *static_cast<CompressorEffect*>(EffectBase::fromRecord(record));
}

inline std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Two input and two output channels of one block.
struct StereoBlock {
    explicit StereoBlock(int frames)
        : left(static_cast<std::size_t>(frames)), right(left.size()), outLeft(left.size()),
          outRight(left.size()) {}

    float** inputs() {
        inputPointers[0] = left.data();
        inputPointers[1] = right.data();
        return inputPointers;
    }
    float** outputs() {
        outputPointers[0] = outLeft.data();
        outputPointers[1] = outRight.data();
        return outputPointers;
    }
    VstInt32 frames() const { return static_cast<VstInt32>(left.size()); }

    std::vector<float> left, right, outLeft, outRight;
    float* inputPointers[2] = {};
    float* outputPointers[2] = {};
};

// How long each stress test runs: QUORVEL_STRESS_SECONDS (default 2).
inline std::chrono::milliseconds stressDuration() {
    double seconds = 2.0;
    if (const char* text = std::getenv("QUORVEL_STRESS_SECONDS")) {
        const double parsed = std::strtod(text, nullptr);
        if (parsed > 0.0 && parsed < 600.0) {
            seconds = parsed;
        }
    }
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000.0));
}

} // namespace robustness
