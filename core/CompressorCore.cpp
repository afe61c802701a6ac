#include "core/CompressorCore.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "dsp/OutputSum.h"
#include "dsp/PeakMeter.h"

namespace {

using Address = std::uintptr_t;

Address addressOf(const float* p) {
    return reinterpret_cast<Address>(p);
}

// True when the two ranges of n samples are the same buffer or do not overlap at all.
bool sameOrApart(const float* a, const float* b, std::int32_t n) {
    const Address x = addressOf(a);
    const Address y = addressOf(b);
    const auto bytes = static_cast<Address>(n) * sizeof(float);
    return x == y || x + bytes <= y || y + bytes <= x;
}

// True when `p` is one of the n samples from `first`.
bool within(const float* p, const float* first, std::size_t n) {
    return addressOf(p) >= addressOf(first) && addressOf(p) < addressOf(first + n);
}

} // namespace

CompressorCore::CompressorCore() {
    // The engine is constructed by now; the gain starts from silence.
    engine.smoothedGain.store(0.0f, std::memory_order_relaxed);
    setDefaultParameters(parameters);
    inputPeak.store(0.0f, std::memory_order_relaxed);
    outputPeak.store(0.0f, std::memory_order_relaxed);
}

void CompressorCore::processBlock(float* const* inputs, float* const* outputs,
                                  std::int32_t sampleFrames, float sampleRate, bool replace) {
    float* inLeft = inputs[0];
    float* inRight = inputs[1];
    float* outLeft = outputs[0];
    float* outRight = outputs[1];

    // One set of parameter bytes for the whole block, even if the editor writes meanwhile.
    const ParamBytes snapshot = snapshotParameters(parameters);

    // The engine runs for every block, also an empty one: it still publishes the threshold.
    // Callers pass channels that are either the same buffer or separate ones. Then the engine
    // runs the meters and the output copy inside its own pipeline, step by step.
    if (sampleFrames <= 0 || (sameOrApart(inLeft, inRight, sampleFrames) &&
                              sameOrApart(outLeft, outRight, sampleFrames) &&
                              sameOrApart(outLeft, inLeft, sampleFrames) &&
                              sameOrApart(outLeft, inRight, sampleFrames) &&
                              sameOrApart(outRight, inLeft, sampleFrames) &&
                              sameOrApart(outRight, inRight, sampleFrames))) {
        DynamicsEngine::BlockOutputs out;
        out.left = outLeft;
        out.right = outRight;
        out.replace = replace;
        out.inputPeak = &inputPeak;
        out.outputPeak = &outputPeak;
        engine.processBlock(inLeft, inRight, sampleFrames, &snapshot, sampleRate, out);
        return;
    }
    processOverlappingBlock(inLeft, inRight, outLeft, outRight, sampleFrames, replace, snapshot,
                            sampleRate);
}

// Channels that overlap in part (a caller's bug, but not one to crash on): the passes one after the
// other over the whole block, the engine working on a copy of the inputs in `overlapWork`. The
// copy keeps the two channels' distance when they overlap each other, so the engine sees what
// it would see in the caller's buffers. The output pass then reads every sample where the plain
// passes in place would have found it: in a caller's buffer once an earlier output store
// has written there, else in the copy for an address of the inputs, else in the caller's buffer.
void CompressorCore::processOverlappingBlock(float* inLeft, float* inRight, float* outLeft,
                                             float* outRight, std::int32_t sampleFrames,
                                             bool replace, const ParamBytes& snapshot, float rate) {
    const auto n = static_cast<std::size_t>(sampleFrames);
    float* workLeft = nullptr;
    float* workRight = nullptr;
    if (within(inLeft, inRight, n) || within(inRight, inLeft, n)) {
        const float* first = inLeft < inRight ? inLeft : inRight;
        const float* last = inLeft < inRight ? inRight : inLeft;
        const std::size_t span = static_cast<std::size_t>(last - first) + n;
        if (span <= kOverlapWorkSamples) {
            std::memcpy(overlapWork, first, span * sizeof(float));
            workLeft = overlapWork + (inLeft - first);
            workRight = overlapWork + (inRight - first);
        }
    } else if (2 * n <= kOverlapWorkSamples) {
        std::memcpy(overlapWork, inLeft, n * sizeof(float));
        std::memcpy(overlapWork + n, inRight, n * sizeof(float));
        workLeft = overlapWork;
        workRight = overlapWork + n;
    }
    if (workLeft == nullptr) {
        // Longer than the copy holds: in place on the caller's inputs, as the passes are written.
        workLeft = inLeft;
        workRight = inRight;
    }

    updatePeakMeter(inputPeak, inLeft, inRight, sampleFrames);
    engine.process(workLeft, workRight, sampleFrames, &snapshot, rate);
    updatePeakMeter(outputPeak, workLeft, workRight, sampleFrames);

    // The sample at p as frame k of the output pass finds it (second: for channel 1).
    const auto read = [&](const float* p, std::size_t k, bool second) {
        if (within(p, outLeft, second ? k + 1 : k) || within(p, outRight, k)) {
            return *p; // already written by this pass
        }
        if (within(p, inLeft, n)) {
            return workLeft[p - inLeft];
        }
        if (within(p, inRight, n)) {
            return workRight[p - inRight];
        }
        return *p;
    };
    for (std::size_t k = 0; k < n; ++k) {
        const float left = read(inLeft + k, k, false);
        // The sum is formed in single precision: one rounding, as storing it would do.
        outLeft[k] = replace ? left : quorvel::outputSum(read(outLeft + k, k, false), left);
        const float right = read(inRight + k, k, true);
        outRight[k] = replace ? right : quorvel::outputSum(read(outRight + k, k, true), right);
    }
}
