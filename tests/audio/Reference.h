// A plain reference of the audio path, written straight from the rules and kept apart from
// the product code: the per-block snapshot, the two level meters, the dynamics engine and
// the replace/accumulate output. Tests compare the product against it bit for bit; a
// benchmark can use it as the unoptimised baseline.
#pragma once

#include <cstdint>

#include "dsp/Parameters.h"

namespace reference {

// The threshold law's factor per snapshot byte, the reference's own copy of the rule: about
// 1/128.99, so byte 128 sets the threshold just under full scale. Bit pattern 0x3BFE0902.
constexpr float kThresholdPerByte = 0.007752538658678532f;

struct EngineState {
    float smoothedGain = 0.0f;
    float thresholdLevel = 1.0f;
};

struct EffectState {
    float parameters[kParameterCount] = {};
    float inputPeak = 0.0f;
    float outputPeak = 0.0f;
    float sampleRate = 44100.0f;
    EngineState engine;

    EffectState(); // parameter defaults, meters 0, rate 44100, gain 0
};

// trunc(value x 128) as a 64-bit integer, low 8 bits.
ParamBytes snapshot(const float parameters[kParameterCount]);

// The peak-meter law over one block (finite magnitudes only raise it).
void meterPass(float& meter, const float* left, const float* right, std::int32_t count);

// The dynamics engine over one block, in place.
void engineProcess(EngineState& state, float* left, float* right, std::int32_t count,
                   const ParamBytes& params, float sampleRate);

// The whole block routine: replace = true for processReplacing, false for process.
void processBlock(EffectState& state, float** inputs, float** outputs, std::int32_t frames,
                  bool replace);

} // namespace reference
