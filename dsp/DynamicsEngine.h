// The dynamics engine: detector, gain computer, gain smoother, output gain, soft clipper.
#pragma once

#include <atomic>
#include <cstdint>

#include "Parameters.h"

class DynamicsEngine {
public:
    DynamicsEngine() = default;
    virtual ~DynamicsEngine() = default;

    // Processes one block of both channels in place. count <= 0 touches no sample.
    void process(float* left, float* right, std::int32_t count, const ParamBytes* params,
                 float sampleRate);

    // Read by the editor on the UI thread while the audio thread writes them.
    std::atomic<float> smoothedGain{0.0f};   // the gain last applied; 1.0 = no reduction
    std::atomic<float> thresholdLevel{1.0f}; // T of the last active block
};
