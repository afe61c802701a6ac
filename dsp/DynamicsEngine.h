// The dynamics engine: detector, gain computer, gain smoother, output gain, soft clipper.
#pragma once

#include <atomic>
#include <cstdint>

#include "dsp/FastTanh.h"
#include "dsp/Parameters.h"
#include "dsp/simd/EngineLevels.h"

// The parameter laws: the per-call quantities of the engine for one snapshot and sample rate.
// The threshold T is a single-precision value, widened.
quorvel::engine_levels::Coefficients engineCoefficients(const ParamBytes& params, float sampleRate);

class DynamicsEngine {
public:
    DynamicsEngine();
    virtual ~DynamicsEngine() = default;

    // Processes one block of both channels in place. count <= 0 touches no sample.
    void process(float* left, float* right, std::int32_t count, const ParamBytes* params,
                 float sampleRate);

    // Where a block's results go besides the buffers processed in place.
    struct BlockOutputs {
        float* left = nullptr; // output channels, or both null for none
        float* right = nullptr;
        bool replace = true;                      // copy into them; false: add to them
        std::atomic<float>* inputPeak = nullptr;  // raised by the unprocessed input
        std::atomic<float>* outputPeak = nullptr; // raised by the processed signal
    };

    // The block routine's passes in one: the input meter over the unprocessed input, process()
    // (also with count <= 0, and with Active off, where the samples pass unchanged), the output
    // meter over the processed signal, then the copy or sum into the output channels. Every
    // output equals that sequence of separate passes; the meters and the gain are published as
    // the block advances rather than sample by sample. Each output channel must be one of the
    // two input channels or overlap neither of them. With output channels, an input channel
    // is written only when it is also an output channel; the others are read, never written.
    void processBlock(float* left, float* right, std::int32_t count, const ParamBytes* params,
                      float sampleRate, const BlockOutputs& outputs);

    // The instruction-set level of the block loops: detectSimdLevel() at construction. Tests
    // force the others with setSimdLevel; it refuses (returns false) a level this processor
    // does not run. Every level gives the same bits.
    bool setSimdLevel(quorvel::SimdLevel level);
    quorvel::SimdLevel simdLevel() const { return level; }

    // Read by the editor on the UI thread while the audio thread writes them.
    std::atomic<float> smoothedGain{0.0f};   // the gain last applied; 1.0 = no reduction
    std::atomic<float> thresholdLevel{1.0f}; // T of the last active block

private:
    // The per-call quantities for this snapshot and rate, from the cache when both are the
    // ones of the previous call.
    const quorvel::engine_levels::Coefficients& settingsFor(const ParamBytes& params,
                                                            float sampleRate);
    void run(quorvel::engine_levels::BlockJob& job);

    quorvel::SimdLevel level;
    bool cacheValid = false;
    ParamBytes cachedBytes{};
    std::uint32_t cachedRateBits = 0;
    float cachedThreshold = 0.0f;
    quorvel::engine_levels::Coefficients cached{};
};
