// This plug-in as a VST 2 effect: identity and names, the processing entries and the editor,
// around the core that holds the parameters, the meters and the engine.
#pragma once

#include "core/CompressorCore.h"
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

    // The processor: parameters, meters, engine and the block routine.
    CompressorCore core;
};
