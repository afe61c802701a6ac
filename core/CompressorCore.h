// The processor without a plug-in format: the ten parameter values, the two level meters, the
// dynamics engine, and the block routine over plain channel pointers and a count. It knows no
// host interface, editor or platform; a plug-in format wraps it and a program that only
// processes audio uses it alone.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "dsp/DynamicsEngine.h"
#include "dsp/Parameters.h"

class CompressorCore {
public:
    CompressorCore();

    CompressorCore(const CompressorCore&) = delete;
    CompressorCore& operator=(const CompressorCore&) = delete;

    // Snapshot, input meter, engine, output meter, then copy (replace) or add into the two
    // output channels. The inputs are read, never written, unless an input is also an output.
    // The rate is the one for this block. Allocates nothing, locks nothing.
    void processBlock(float* const* inputs, float* const* outputs, std::int32_t sampleFrames,
                      float sampleRate, bool replace);

    float parameter(int index) const { return parameters[index].load(std::memory_order_relaxed); }
    void setParameterValue(int index, float value) {
        parameters[index].store(value, std::memory_order_relaxed);
    }

    // Working copy of the inputs for blocks whose channels overlap in part: two channels of
    // 4096 frames (a longer block of that kind is processed in the caller's input buffers).
    static constexpr std::size_t kOverlapWorkSamples = 2 * 4096;

    DynamicsEngine engine;

    // Shared between the user-interface thread and the audio thread: relaxed atomic floats,
    // each read and written whole.
    ParameterValues parameters;
    std::atomic<float> inputPeak{0.0f};
    std::atomic<float> outputPeak{0.0f};

private:
    void processOverlappingBlock(float* inLeft, float* inRight, float* outLeft, float* outRight,
                                 std::int32_t sampleFrames, bool replace,
                                 const ParamBytes& snapshot, float rate);
    float overlapWork[kOverlapWorkSamples];
};
