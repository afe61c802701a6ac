// The audio-thread side of the effect: the block routine behind both processing entries.
#include "CompressorEffect.h"

#include "PeakMeter.h"

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

    if (sampleFrames > 0) {
        updatePeakMeter(inputPeak, inLeft, inRight, sampleFrames);
    }

    // The rate is read every block, so a new rate takes effect at the next block. The engine
    // runs for every block, also an empty one: it still publishes the threshold.
    const float rate = getSampleRate();
    engine.process(inLeft, inRight, sampleFrames, &snapshot, rate);

    if (sampleFrames > 0) {
        updatePeakMeter(outputPeak, inLeft, inRight, sampleFrames);
    }

    for (VstInt32 k = 0; k < sampleFrames; ++k) {
        if (replace) {
            outLeft[k] = inLeft[k];
            outRight[k] = inRight[k];
        } else {
            // The sum is formed in single precision: one rounding, as storing it would do.
            outLeft[k] = outLeft[k] + inLeft[k];
            outRight[k] = outRight[k] + inRight[k];
        }
    }
}
