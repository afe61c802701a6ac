#include "host/EffectBaseExt.h"

#include "host/EditorBase.h"

const char* const kHostCapabilities[16] = {
    "sendVstEvents",       "sendVstMidiEvent", "sendVstTimeInfo",   "receiveVstEvents",
    "receiveVstMidiEvent", "receiveVstTimeInfo", "reportConnectionChanges", "acceptIOChanges",
    "sizeWindow",          "asyncProcessing",  "offline",           "supplyIdle",
    "supportShell",        "openFileSelector", "editFile",          "closeFileSelector",
};

const char* const kPluginCapabilities[25] = {
    "sendVstEvents",       "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
    "receiveVstMidiEvent", "receiveVstTimeInfo", "offline",       "plugAsChannelInsert",
    "plugAsSend",          "mixDryWet",        "noRealTime",      "multipass",
    "metapass",            "1in1out",          "1in2out",         "2in1out",
    "2in2out",             "2in4out",          "4in2out",         "4in4out",
    "4in8out",             "8in4out",          "8in8out",         "midiProgramNames",
    "conformsToWindowRules",
};

EffectBaseExt::EffectBaseExt(audioMasterCallback hostCallback, VstInt32 programCount,
                             VstInt32 parameterCount)
    : EffectBase(hostCallback, programCount, parameterCount) {}

EffectBaseExt::~EffectBaseExt() = default;

// --- Dispatcher, opcodes 25 to 68; everything else goes to the 2.0 layer -------------------

VstIntPtr EffectBaseExt::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                    float opt) {
    if (static_cast<std::uint32_t>(opcode) - 25u > 43u) {
        return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return canBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return string2Parameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories:
        return getNumProgramCategories();
    case effGetProgramNameIndexed:
        if (text == nullptr) {
            return 0;
        }
        return getProgramNameIndexed(static_cast<VstInt32>(value), index, text) ? 1 : 0;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effConnectInput:
        connectInput(index, value != 0);
        return 1;
    case effConnectOutput:
        connectOutput(index, value != 0);
        return 1;
    case effGetInputProperties:
        return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return getCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<VstIntPtr>(getDestinationBuffer());
    case effOfflineNotify:
        return offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<VstInt32>(value),
                             index != 0)
                   ? 1
                   : 0;
    case effOfflinePrepare:
        return offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)) ? 1
                                                                                               : 0;
    case effOfflineRun:
        return offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<VstInt32>(value)) ? 1 : 0;
    case effProcessVarIo:
        return processVarIo(static_cast<VstVariableIo*>(ptr)) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(static_cast<VstInt32>(value), opt);
        return 1;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return text != nullptr && getEffectName(text) ? 1 : 0;
    case effGetErrorText:
        return text != nullptr && getErrorText(text) ? 1 : 0;
    case effGetVendorString:
        return text != nullptr && getVendorString(text) ? 1 : 0;
    case effGetProductString:
        return text != nullptr && getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return canDo(text);
    case effGetTailSize:
        return getTailSize();
    case effIdle:
        return effectIdle();
    case effGetIcon:
        return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
        return setViewPosition(index, static_cast<VstInt32>(value)) ? 1 : 0;
    case effGetParameterProperties:
        return getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)) ? 1 : 0;
    case effKeysRequired:
        return keysRequired() ? 0 : 1; // inverted: 1 tells the host no keystrokes are needed
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (editor == nullptr) {
            return 0;
        }
        VstKeyCode keyCode{};
        keyCode.character = index;
        keyCode.virt = static_cast<std::uint8_t>(value & 0xFF);
        keyCode.modifier = static_cast<std::uint8_t>(truncatedOption(opt) & 0xFF);
        return opcode == effEditKeyDown ? editor->onKeyDown(keyCode) : editor->onKeyUp(keyCode);
    }
    case effSetEditKnobMode:
        return editor ? editor->setKnobMode(static_cast<VstInt32>(value)) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
        return getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)) ? 1 : 0;
    case effBeginSetProgram:
        return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
        return endSetProgram() ? 1 : 0;
    }
    return 0;
}

std::int64_t EffectBaseExt::truncatedOption(float opt) {
    // Truncation toward zero; values the conversion cannot hold (NaN, huge) give the
    // processor's "integer indefinite", whose low bits are 0.
    if (!(opt > -9223372036854775808.0f && opt < 9223372036854775808.0f)) {
        return 0;
    }
    return static_cast<std::int64_t>(opt);
}

// --- Operations answering opcodes: the 2.x defaults ----------------------------------------

EditorBase* EffectBaseExt::getEditor() { return editor; }
VstInt32 EffectBaseExt::processEvents(VstEvents*) { return 0; }
bool EffectBaseExt::canBeAutomated(VstInt32) { return true; }
bool EffectBaseExt::string2Parameter(VstInt32, char*) { return false; }
VstInt32 EffectBaseExt::getNumProgramCategories() { return 1; }
bool EffectBaseExt::getProgramNameIndexed(VstInt32, VstInt32, char*) { return false; }
bool EffectBaseExt::copyProgram(VstInt32) { return false; }
void EffectBaseExt::connectInput(VstInt32, bool) {}
void EffectBaseExt::connectOutput(VstInt32, bool) {}
bool EffectBaseExt::getInputProperties(VstInt32, VstPinProperties*) { return false; }
bool EffectBaseExt::getOutputProperties(VstInt32, VstPinProperties*) { return false; }
VstInt32 EffectBaseExt::getPlugCategory() { return (cEffect.flags & effFlagsIsSynth) ? 2 : 0; }
VstInt32 EffectBaseExt::getCurrentPosition() { return 0; }
float* EffectBaseExt::getDestinationBuffer() { return nullptr; }
bool EffectBaseExt::offlineNotify(VstAudioFile*, VstInt32, bool) { return false; }
bool EffectBaseExt::offlinePrepare(VstOfflineTask*, VstInt32) { return false; }
bool EffectBaseExt::offlineRun(VstOfflineTask*, VstInt32) { return false; }
bool EffectBaseExt::processVarIo(VstVariableIo*) { return false; }
bool EffectBaseExt::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
    return false;
}
void EffectBaseExt::setBlockSizeAndSampleRate(VstInt32 newBlockSize, float newSampleRate) {
    // Stored directly, without going through setBlockSize and setSampleRate.
    blockSize = newBlockSize;
    sampleRate.store(newSampleRate, std::memory_order_relaxed);
}
bool EffectBaseExt::setBypass(bool) { return false; }
bool EffectBaseExt::getEffectName(char*) { return false; }
bool EffectBaseExt::getErrorText(char*) { return false; }
bool EffectBaseExt::getVendorString(char*) { return false; }
bool EffectBaseExt::getProductString(char*) { return false; }
VstInt32 EffectBaseExt::getVendorVersion() { return 0; }
VstIntPtr EffectBaseExt::vendorSpecific(VstInt32, VstIntPtr, void*, float) { return 0; }
VstInt32 EffectBaseExt::canDo(char*) { return 0; }
void* EffectBaseExt::getIcon() { return nullptr; }
bool EffectBaseExt::setViewPosition(VstInt32, VstInt32) { return false; }
VstInt32 EffectBaseExt::getTailSize() { return 0; }
VstInt32 EffectBaseExt::effectIdle() { return 0; }
bool EffectBaseExt::getParameterProperties(VstInt32, VstParameterProperties*) { return false; }
bool EffectBaseExt::keysRequired() { return false; }
VstInt32 EffectBaseExt::getVstVersion() { return 2200; }
VstInt32 EffectBaseExt::getMidiProgramName(VstInt32, MidiProgramName*) { return 0; }
VstInt32 EffectBaseExt::getCurrentMidiProgram(VstInt32, MidiProgramName*) { return -1; }
VstInt32 EffectBaseExt::getMidiProgramCategory(VstInt32, MidiProgramCategory*) { return 0; }
bool EffectBaseExt::hasMidiProgramsChanged(VstInt32) { return false; }
bool EffectBaseExt::getMidiKeyName(VstInt32, MidiKeyName*) { return false; }
bool EffectBaseExt::beginSetProgram() { return false; }
bool EffectBaseExt::endSetProgram() { return false; }

// The four further flag setters.
void EffectBaseExt::setExtIsAsync(bool state) { setFlag(effFlagsExtIsAsync, state); }
void EffectBaseExt::setExtHasBuffer(bool state) { setFlag(effFlagsExtHasBuffer, state); }
void EffectBaseExt::setIsSynth(bool state) { setFlag(effFlagsIsSynth, state); }
void EffectBaseExt::setNoSoundInStop(bool state) { setFlag(effFlagsNoSoundInStop, state); }

// --- Host requests of the 2.x layer ----------------------------------------------------------
// Each is one callHost, which answers 0 without calling when there is no host: that 0 is every
// request's "no host" value (0, false or null).

namespace {
template <typename T> T* asPointer(VstIntPtr answer) { return reinterpret_cast<T*>(answer); }
VstInt32 asInt(VstIntPtr answer) {
    return static_cast<VstInt32>(answer);
}
} // namespace

void EffectBaseExt::wantMidi(VstInt32 filter) {
    callHost(audioMasterWantMidi, 0, filter, nullptr, 0.0f);
}

VstTimeInfo* EffectBaseExt::getTime(VstInt32 filter) {
    return asPointer<VstTimeInfo>(callHost(audioMasterGetTime, 0, filter, nullptr, 0.0f));
}

VstInt32 EffectBaseExt::tempoAt(VstInt32 position) {
    return asInt(callHost(audioMasterTempoAt, 0, position, nullptr, 0.0f));
}

VstInt32 EffectBaseExt::getNumAutomatableParameters() {
    return asInt(callHost(audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f));
}

VstInt32 EffectBaseExt::getParameterQuantization() {
    return asInt(callHost(audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f));
}

bool EffectBaseExt::ioChanged() {
    return callHost(audioMasterIOChanged, 0, 0, nullptr, 0.0f) != 0;
}

bool EffectBaseExt::needIdle() {
    return callHost(audioMasterNeedIdle, 0, 0, nullptr, 0.0f) != 0;
}

bool EffectBaseExt::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(audioMasterSizeWindow, width, height, nullptr, 0.0f) != 0;
}

float EffectBaseExt::updateSampleRate() {
    // The host answers by sending effSetSampleRate; its direct answer is not used.
    callHost(audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);
    return getSampleRate();
}

VstInt32 EffectBaseExt::updateBlockSize() {
    callHost(audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
    return getBlockSize();
}

VstInt32 EffectBaseExt::getInputLatency() {
    return asInt(callHost(audioMasterGetInputLatency, 0, 0, nullptr, 0.0f));
}

VstInt32 EffectBaseExt::getOutputLatency() {
    return asInt(callHost(audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f));
}

AEffect* EffectBaseExt::getPreviousPlug(VstInt32) {
    return asPointer<AEffect>(callHost(audioMasterGetPreviousPlug, 0, 0, nullptr, 0.0f));
}

AEffect* EffectBaseExt::getNextPlug(VstInt32) {
    return asPointer<AEffect>(callHost(audioMasterGetNextPlug, 0, 0, nullptr, 0.0f));
}

VstInt32 EffectBaseExt::willReplaceOrAccumulate() {
    return asInt(callHost(audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f));
}

VstInt32 EffectBaseExt::getCurrentProcessLevel() {
    return asInt(callHost(audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f));
}

VstInt32 EffectBaseExt::getAutomationState() {
    return asInt(callHost(audioMasterGetAutomationState, 0, 0, nullptr, 0.0f));
}

bool EffectBaseExt::offlineStart(VstAudioFile* audioFiles, VstInt32 numAudioFiles,
                                 VstInt32 numNewAudioFiles) {
    return callHost(audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles, 0.0f) !=
           0;
}

bool EffectBaseExt::offlineRead(VstOfflineTask* offline, VstInt32 option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline, 0.0f) != 0;
}

bool EffectBaseExt::offlineWrite(VstOfflineTask* offline, VstInt32 option) {
    return callHost(audioMasterOfflineWrite, 0, option, offline, 0.0f) != 0;
}

bool EffectBaseExt::offlineGetCurrentPass() {
    return callHost(audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f) != 0;
}

bool EffectBaseExt::offlineGetCurrentMetaPass() {
    return callHost(audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f) != 0;
}

void EffectBaseExt::setOutputSampleRate(float rate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

bool EffectBaseExt::getHostSpeakerArrangement(VstSpeakerArrangement** input,
                                              VstSpeakerArrangement** output) {
    return callHost(audioMasterGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(input), output,
                    0.0f) != 0;
}

bool EffectBaseExt::getHostVendorString(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text, 0.0f) != 0;
}

bool EffectBaseExt::getHostProductString(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text, 0.0f) != 0;
}

VstInt32 EffectBaseExt::getHostVendorVersion() {
    return asInt(callHost(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f));
}

VstIntPtr EffectBaseExt::hostVendorSpecific(VstInt32 lArg1, VstIntPtr lArg2, void* ptrArg,
                                            float floatArg) {
    return callHost(audioMasterVendorSpecific, lArg1, lArg2, ptrArg, floatArg);
}

bool EffectBaseExt::canHostDo(char* text) {
    return callHost(audioMasterCanDo, 0, 0, text, 0.0f) != 0;
}

VstInt32 EffectBaseExt::getHostLanguage() {
    return asInt(callHost(audioMasterGetLanguage, 0, 0, nullptr, 0.0f));
}

void* EffectBaseExt::openWindow(VstWindow* window) {
    return asPointer<void>(callHost(audioMasterOpenWindow, 0, 0, window, 0.0f));
}

bool EffectBaseExt::closeWindow(VstWindow* window) {
    return callHost(audioMasterCloseWindow, 0, 0, window, 0.0f) != 0;
}

void* EffectBaseExt::getDirectory() {
    return asPointer<void>(callHost(audioMasterGetDirectory, 0, 0, nullptr, 0.0f));
}

bool EffectBaseExt::updateDisplay() {
    return callHost(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f) != 0;
}

bool EffectBaseExt::beginEdit(VstInt32 index) {
    return callHost(audioMasterBeginEdit, index, 0, nullptr, 0.0f) != 0;
}

bool EffectBaseExt::endEdit(VstInt32 index) {
    return callHost(audioMasterEndEdit, index, 0, nullptr, 0.0f) != 0;
}

bool EffectBaseExt::openFileSelector(VstFileSelect* selector) {
    return selector != nullptr && callHost(audioMasterOpenFileSelector, 0, 0, selector, 0.0f) != 0;
}
