#include "plugin/CompressorEffect.h"

#include <new>

#include "editor/CompressorEditor.h"
#include "plugin/PluginIdentity.h"

CompressorEffect::CompressorEffect(audioMasterCallback hostCallback)
    : EffectBaseExt(hostCallback, identity::kNumPrograms, identity::kNumParams) {
    // The engine member is constructed by now; the gain starts from silence.
    engine.smoothedGain.store(0.0f, std::memory_order_relaxed);
    setNumInputs(identity::kNumInputs);
    setNumOutputs(identity::kNumOutputs);
    setCanReplacing(true);
    setCanMono(true);
    setUniqueId(identity::kUniqueId);
    // Without an editor (allocation failed) the instance works on and says so in its flags.
    const EditorView view{
        parameters, inputPeak, outputPeak, engine.smoothedGain, engine.thresholdLevel,
        activeKnob, dragLastY};
    editor = new (std::nothrow)
        CompressorEditor(this, view, {identity::kEditorClassName, identity::kMakerWebPage});
    setFlag(effFlagsHasEditor, editor != nullptr);
    activeKnob = 0;
    dragLastY = 0;
    setDefaultParameters(parameters);
    inputPeak.store(0.0f, std::memory_order_relaxed);
    outputPeak.store(0.0f, std::memory_order_relaxed);
}

// Nothing of its own: the engine goes first, then the bases (which delete the editor).
CompressorEffect::~CompressorEffect() = default;

// The host-facing parameter operations are inert: the editor is the only way to change a value.
void CompressorEffect::setParameter(VstInt32, float) {}
float CompressorEffect::getParameter(VstInt32) { return 0.0f; }

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
