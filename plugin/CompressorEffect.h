// This plug-in: identity, names, the ten parameters, the two level meters, the dynamics engine
// and the editor.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "dsp/DynamicsEngine.h"
#include "dsp/Parameters.h"
#include "host/EffectBaseExt.h"

class CompressorEffect : public EffectBaseExt {
public:
    explicit CompressorEffect(audioMasterCallback hostCallback);
    ~CompressorEffect() override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParamLabel(VstInt32 index, char* label) override;
    void getParamDisplay(VstInt32 index, char* text) override;
    void getParamName(VstInt32 index, char* text) override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;

    // The shared block routine behind process (replace = false) and processReplacing.
    void processBlock(float** inputs, float** outputs, VstInt32 sampleFrames, bool replace);

    // Working copy of the inputs for blocks whose channels overlap in part: two channels of
    // 4096 frames (a longer block of that kind is processed in the host's input buffers).
    static constexpr std::size_t kOverlapWorkSamples = 2 * 4096;

    // Editor interaction state: touched only on the UI thread.
    std::uint8_t activeKnob = 0; // 0: no drag; 1 to 6: the knob being dragged
    std::int32_t dragLastY = 0;  // client y of the last press or handled drag step

    DynamicsEngine engine;

    // Shared with the audio thread: relaxed atomic floats, each read and written whole.
    ParameterValues parameters;
    std::atomic<float> inputPeak{0.0f};
    std::atomic<float> outputPeak{0.0f};

    float parameter(int index) const { return parameters[index].load(std::memory_order_relaxed); }
    void setParameterValue(int index, float value) {
        parameters[index].store(value, std::memory_order_relaxed);
    }

private:
    void processOverlappingBlock(float* inLeft, float* inRight, float* outLeft, float* outRight,
                                 VstInt32 sampleFrames, bool replace, const ParamBytes& snapshot,
                                 float rate);
    float overlapWork[kOverlapWorkSamples];
};
