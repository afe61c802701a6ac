#include "plugin/CompressorEffect.h"

#include <new>

#include "editor/CompressorEditor.h"
#include "plugin/PluginIdentity.h"

CompressorEffect::CompressorEffect(audioMasterCallback hostCallback)
    : EffectBaseExt(hostCallback, identity::kNumPrograms, identity::kNumParams) {
    setNumInputs(identity::kNumInputs);
    setNumOutputs(identity::kNumOutputs);
    setCanReplacing(true);
    setCanMono(true);
    setUniqueId(identity::kUniqueId);
    // Without an editor (allocation failed) the instance works on and says so in its flags.
    const EditorView view{core.parameters, core.inputPeak, core.outputPeak,
                          core.engine.smoothedGain, core.engine.thresholdLevel};
    editor = new (std::nothrow)
        CompressorEditor(this, view, {identity::kEditorClassName, identity::kMakerWebPage});
    setFlag(effFlagsHasEditor, editor != nullptr);
}

// Nothing of its own: the core goes first, then the bases (which delete the editor).
CompressorEffect::~CompressorEffect() = default;

// Both entries run the core's block routine; the rate is read every block, so a new rate takes
// effect at the next block.
void CompressorEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    core.processBlock(inputs, outputs, sampleFrames, getSampleRate(), true);
}

void CompressorEffect::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    core.processBlock(inputs, outputs, sampleFrames, getSampleRate(), false);
}

// The host-facing parameter operations are inert: the editor is the only way to change a value.
void CompressorEffect::setParameter(VstInt32, float) {}
float CompressorEffect::getParameter(VstInt32) {
    return 0.0f;
}

void CompressorEffect::setProgram(VstInt32) {}
void CompressorEffect::setProgramName(char*) {}

void CompressorEffect::getProgramName(char* name) {
    copyString(name, identity::kProgramName, kProgramNameBufferSize);
}

void CompressorEffect::getParamLabel(VstInt32, char* label) {
    copyString(label, "", kParamStringBufferSize);
}

void CompressorEffect::getParamDisplay(VstInt32, char* text) {
    copyString(text, "", kParamStringBufferSize);
}

void CompressorEffect::getParamName(VstInt32, char* text) {
    copyString(text, identity::kParameterName, kParamStringBufferSize);
}

bool CompressorEffect::getEffectName(char* name) {
    copyString(name, identity::kEffectName, kEffectNameBufferSize);
    return true;
}

bool CompressorEffect::getVendorString(char* text) {
    copyString(text, identity::kVendorString, kVendorStringBufferSize);
    return true;
}

bool CompressorEffect::getProductString(char* text) {
    copyString(text, identity::kProductString, kProductStringBufferSize);
    return true;
}
