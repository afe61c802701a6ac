// The audio-thread side of the effect: the block routine behind both processing entries.
#include "plugin/CompressorEffect.h"

#include <cstdint>

#include "dsp/OutputSum.h"
#include "dsp/PeakMeter.h"

namespace {

// True when the two ranges of n samples are the same buffer or do not overlap at all.
bool sameOrApart(const float* a, const float* b, VstInt32 n) {
    const auto x = reinterpret_cast<std::uintptr_t>(a);
    const auto y = reinterpret_cast<std::uintptr_t>(b);
    const auto bytes = static_cast<std::uintptr_t>(n) * sizeof(float);
    return x == y || x + bytes <= y || y + bytes <= x;
}

} // namespace

void CompressorEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, true);
}

void CompressorEffect::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, false);
}

// Snapshot, input meter, engine (in place on the host's input buffers), output meter, then
// copy or add into the outputs. Allocates nothing, locks nothing.
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

    // Channels that overlap in part: the passes one after the other over the whole block.
    updatePeakMeter(inputPeak, inLeft, inRight, sampleFrames);
    engine.process(inLeft, inRight, sampleFrames, &snapshot, rate);
    updatePeakMeter(outputPeak, inLeft, inRight, sampleFrames);
    for (VstInt32 k = 0; k < sampleFrames; ++k) {
        if (replace) {
            outLeft[k] = inLeft[k];
            outRight[k] = inRight[k];
        } else {
            // The sum is formed in single precision: one rounding, as storing it would do.
            outLeft[k] = quorvel::outputSum(outLeft[k], inLeft[k]);
            outRight[k] = quorvel::outputSum(outRight[k], inRight[k]);
        }
    }
}
