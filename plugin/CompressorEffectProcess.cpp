// The audio-thread side of the effect: the block routine behind both processing entries.
#include "plugin/CompressorEffect.h"

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
bool sameOrApart(const float* a, const float* b, VstInt32 n) {
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

void CompressorEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, true);
}

void CompressorEffect::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, false);
}

// Snapshot, input meter, engine, output meter, then copy or add into the outputs. The host's
// input buffers are read, never written, unless the host gave the same buffer as an output.
// Allocates nothing, locks nothing.
void CompressorEffect::processBlock(float** inputs, float** outputs, VstInt32 sampleFrames,
                                    bool replace) {
    float* inLeft = inputs[0];
    float* inRight = inputs[1];
    float* outLeft = outputs[0];
    float* outRight = outputs[1];

    // One set of parameter bytes for the whole block, even if the editor writes meanwhile.
    const ParamBytes snapshot = snapshotParameters(parameters);

    // The rate is read every block, so a new rate takes effect at the next block. The engine
    // runs for every block, also an empty one: it still publishes the threshold.
    const float rate = getSampleRate();

    // Hosts pass channels that are either the same buffer or separate ones. Then the engine
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
        engine.processBlock(inLeft, inRight, sampleFrames, &snapshot, rate, out);
        return;
    }
    processOverlappingBlock(inLeft, inRight, outLeft, outRight, sampleFrames, replace, snapshot,
                            rate);
}

// Channels that overlap in part (a host bug, but not one to crash on): the passes one after the
// other over the whole block, the engine working on a copy of the inputs in `overlapWork`. The
// copy keeps the two channels' distance when they overlap each other, so the engine sees what
// it would see in the host's buffers. The output pass then reads every sample where the plain
// passes in place would have found it: in a host buffer once an earlier output store has
// written there, else in the copy for an address of the inputs, else in the host buffer.
void CompressorEffect::processOverlappingBlock(float* inLeft, float* inRight, float* outLeft,
                                               float* outRight, VstInt32 sampleFrames, bool replace,
                                               const ParamBytes& snapshot, float rate) {
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
        // Longer than the copy holds: in place on the host's inputs, as the passes are written.
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
