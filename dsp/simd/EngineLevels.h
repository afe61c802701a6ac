// Entry points of the instruction-set specific block pipelines of the dynamics engine (see
// EngineKernel.h for how a block is processed). Every level performs the same IEEE double
// operations in the same order and therefore produces the same bits.
#pragma once

#include <atomic>

namespace quorvel::engine_levels {

// The per-call quantities of the engine in the form the loops use. Each is exactly the double
// the plain computation would use: T and D are single-precision values widened, and the two
// complements are 1 - a and 1 - r as the smoother forms them.
struct Coefficients {
    double threshold;         // T
    double slope;             // S = 1 / R, or 0 with the limiter
    double attack;            // a
    double release;           // r
    double attackComplement;  // 1 - a
    double releaseComplement; // 1 - r
    double outputGain;        // G
    double depthFactor;       // D
};

enum class OutputMode { None, Replace, Add };

// One block of the audio path. left and right are processed in place (where writeBackLeft and
// writeBackRight allow; otherwise only read) and may be the same buffer (mono: one detector
// input, gain and soft clipper once). The output buffers are each either one of the input
// buffers or disjoint from both of them, never a partial overlap.
struct BlockJob {
    float* left = nullptr;
    float* right = nullptr;
    int count = 0; // > 0
    bool active = true;
    bool softClip = true;
    Coefficients k{};

    // The stored gain: read at the start, written back (and published) as the block advances.
    std::atomic<float>* gain = nullptr;

    // Level meters, raised by the unprocessed input and by the processed signal. Either may be
    // null: the engine on its own runs without them.
    std::atomic<float>* inputPeak = nullptr;
    std::atomic<float>* outputPeak = nullptr;

    // After a frame range is final it is copied (or added) into these, channel 0 then 1.
    OutputMode output = OutputMode::None;
    float* outLeft = nullptr;
    float* outRight = nullptr;

    // Whether the processed samples are written back into the input channel (in place). An
    // input channel that is not written is only read; its processed samples reach only the
    // output channels.
    bool writeBackLeft = true;
    bool writeBackRight = true;
};

void runBlockScalar(const BlockJob& job);

#if defined(__i386__) || defined(__x86_64__)
void runBlockSse2(const BlockJob& job);
// Only on processors with AVX2 and an OS that saves the YMM state.
void runBlockAvx2(const BlockJob& job);
#endif

} // namespace quorvel::engine_levels
