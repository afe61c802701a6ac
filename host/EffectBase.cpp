#include "host/EffectBase.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/EditorBase.h"

void copyString(char* destination, const char* source, std::size_t capacity) {
    if (destination == nullptr || capacity == 0) {
        return;
    }
    std::size_t length = std::strlen(source);
    if (length >= capacity) {
        length = capacity - 1;
    }
    std::memcpy(destination, source, length);
    destination[length] = '\0';
}

EffectBase::EffectBase(audioMasterCallback hostCallback, VstInt32 programCount,
                       VstInt32 parameterCount)
    : audioMaster(hostCallback), numPrograms(programCount), numParams(parameterCount) {
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &EffectBase::dispatchEntry;
    cEffect.process = &EffectBase::processEntry;
    cEffect.setParameter = &EffectBase::setParameterEntry;
    cEffect.getParameter = &EffectBase::getParameterEntry;
    cEffect.numPrograms = programCount;
    cEffect.numParams = parameterCount;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = 0;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = fourCharConstant('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = &EffectBase::processReplacingEntry;
}

EffectBase::~EffectBase() { delete editor; }

// --- The five static entry functions the AEffect record carries --------------------------

VstIntPtr VST_CALLBACK EffectBase::dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index,
                                                 VstIntPtr value, void* ptr, float opt) {
    EffectBase* effect = fromRecord(e);
    if (effect == nullptr) {
        return 0;
    }
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect; // the record is gone after this call
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void VST_CALLBACK EffectBase::processEntry(AEffect* e, float** inputs, float** outputs,
                                           VstInt32 sampleFrames) {
    if (EffectBase* effect = fromRecord(e)) {
        effect->process(inputs, outputs, sampleFrames);
    }
}

void VST_CALLBACK EffectBase::processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                                    VstInt32 sampleFrames) {
    if (EffectBase* effect = fromRecord(e)) {
        effect->processReplacing(inputs, outputs, sampleFrames);
    }
}

void VST_CALLBACK EffectBase::setParameterEntry(AEffect* e, VstInt32 index, float value) {
    if (EffectBase* effect = fromRecord(e)) {
        effect->setParameter(index, value);
    }
}

float VST_CALLBACK EffectBase::getParameterEntry(AEffect* e, VstInt32 index) {
    EffectBase* effect = fromRecord(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

// --- Dispatcher, opcodes 0 to 24 ----------------------------------------------------------

namespace {
// getVu() x 32767, truncated toward zero; out-of-range products answer 0 instead of
// overflowing the conversion.
VstIntPtr scaledVu(float vu) {
    const double scaled = static_cast<double>(vu) * 32767.0;
    if (!(scaled > -2147483648.0 && scaled < 2147483648.0)) {
        return 0;
    }
    return static_cast<VstInt32>(scaled);
}
} // namespace

VstIntPtr EffectBase::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt) {
    if (static_cast<std::uint32_t>(opcode) > 24u) {
        return 0;
    }
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < numPrograms) {
            setProgram(static_cast<VstInt32>(value));
        }
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (text != nullptr) {
            setProgramName(text);
        }
        return 0;
    case effGetProgramName:
        if (text != nullptr) {
            getProgramName(text);
        }
        return 0;
    case effGetParamLabel:
        if (text != nullptr) {
            getParamLabel(index, text);
        }
        return 0;
    case effGetParamDisplay:
        if (text != nullptr) {
            getParamDisplay(index, text);
        }
        return 0;
    case effGetParamName:
        if (text != nullptr) {
            getParamName(index, text);
        }
        return 0;
    case effGetVu:
        return scaledVu(getVu());
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0) {
            suspend();
        } else {
            resume();
        }
        return 0;
    case effEditGetRect:
        if (editor == nullptr || ptr == nullptr) {
            return 0;
        }
        return editor->getRect(static_cast<ERect**>(ptr));
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor != nullptr) {
            editor->close();
        }
        return 0;
    case effEditDraw:
    case effEditMouse:
    case effEditKey:
        return 0;
    case effEditIdle:
        if (editor != nullptr) {
            editor->idle();
        }
        return 0;
    case effEditTop:
    case effEditSleep:
        return 0;
    case effIdentify:
        return fourCharConstant('N', 'v', 'E', 'f');
    case effGetChunk:
        if (ptr == nullptr) {
            return 0;
        }
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    }
    return 0;
}

// --- Base behaviour of the virtual operations ---------------------------------------------

void EffectBase::setParameter(VstInt32, float) {}
float EffectBase::getParameter(VstInt32) { return 0.0f; }

void EffectBase::processReplacing(float**, float**, VstInt32) {}
void EffectBase::open() {}
void EffectBase::close() {}
VstInt32 EffectBase::getProgram() { return curProgram; }
void EffectBase::setProgram(VstInt32 program) { curProgram = program; }
void EffectBase::setProgramName(char* name) { copyString(name, "", kProgramNameBufferSize); }
void EffectBase::getProgramName(char* name) { copyString(name, "", kProgramNameBufferSize); }
void EffectBase::getParamLabel(VstInt32, char* label) {
    copyString(label, "", kParamStringBufferSize);
}
void EffectBase::getParamDisplay(VstInt32, char* text) {
    copyString(text, "", kParamStringBufferSize);
}
void EffectBase::getParamName(VstInt32, char* text) { copyString(text, "", kParamStringBufferSize); }
float EffectBase::getVu() { return 0.0f; }
VstInt32 EffectBase::getChunk(void**, bool) { return 0; }
VstInt32 EffectBase::setChunk(void*, VstInt32, bool) { return 0; }
void EffectBase::setSampleRate(float rate) { sampleRate.store(rate, std::memory_order_relaxed); }
void EffectBase::setBlockSize(VstInt32 size) { blockSize = size; }
void EffectBase::suspend() {}
void EffectBase::resume() {}
void EffectBase::setUniqueId(VstInt32 id) { cEffect.uniqueID = id; }
void EffectBase::setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
void EffectBase::setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }

void EffectBase::setFlag(VstInt32 flag, bool state) {
    if (state) {
        cEffect.flags |= flag;
    } else {
        cEffect.flags &= ~flag;
    }
}

void EffectBase::setHasVu(bool state) { setFlag(effFlagsHasVu, state); }
void EffectBase::setHasClip(bool state) { setFlag(effFlagsHasClip, state); }
void EffectBase::setCanMono(bool state) { setFlag(effFlagsCanMono, state); }
void EffectBase::setCanReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void EffectBase::setProgramChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void EffectBase::setRealQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
void EffectBase::setOffQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }
void EffectBase::setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }
float EffectBase::getSampleRate() { return sampleRate.load(std::memory_order_relaxed); }
VstInt32 EffectBase::getBlockSize() { return blockSize; }

// --- Host requests of the 2.0 layer -------------------------------------------------------

VstIntPtr EffectBase::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                               float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

void EffectBase::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 EffectBase::getMasterVersion() {
    // No host, or a host that answers 0, counts as version 1.
    const auto version = static_cast<VstInt32>(callHost(audioMasterVersion, 0, 0, nullptr, 0.0f));
    return version == 0 ? 1 : version;
}

VstInt32 EffectBase::getCurrentId() {
    return static_cast<VstInt32>(callHost(audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}

void EffectBase::masterIdle() {
    callHost(audioMasterIdle, 0, 0, nullptr, 0.0f);
}

bool EffectBase::isInputConnected(VstInt32 input) {
    return callHost(audioMasterPinConnected, input, 0, nullptr, 0.0f) == 0; // no host: connected
}

bool EffectBase::isOutputConnected(VstInt32 output) {
    return callHost(audioMasterPinConnected, output, 1, nullptr, 0.0f) == 0;
}

// --- Value-to-text helpers (8-character display fields) -----------------------------------

namespace {
constexpr int kDisplayLength = 8;
const char kHuge[] = " Huge!  ";
} // namespace

void EffectBase::floatToText(float value, char* text) {
    if (text == nullptr) {
        return;
    }
    // NaN fails both range tests and is shown like an out-of-range value. The bounds are
    // compared in double: as a float, 99999999 would round up to 1e8 and let 1e8 through.
    const double wide = value;
    if (!(wide <= 99999999.0 && wide >= -9999999.0)) {
        copyString(text, kHuge, kDisplayLength + 1);
        return;
    }
    char field[kDisplayLength + 1];
    int length = 0;
    double magnitude = value;
    if (magnitude < 0) {
        field[length++] = '-';
        magnitude = -magnitude;
    }
    const auto integerPart = static_cast<std::int64_t>(magnitude);
    char digits[24];
    const int digitCount = std::snprintf(digits, sizeof digits, "%lld",
                                         static_cast<long long>(integerPart));
    for (int i = 0; i < digitCount && length < kDisplayLength; ++i) {
        field[length++] = digits[i];
    }
    if (length < kDisplayLength) {
        field[length++] = '.';
    }
    double fraction = magnitude - static_cast<double>(integerPart);
    while (length < kDisplayLength) {
        fraction *= 10.0;
        const int digit = static_cast<int>(fraction);
        field[length++] = static_cast<char>('0' + digit);
        fraction -= digit;
    }
    field[length] = '\0';
    copyString(text, field, kDisplayLength + 1);
}

void EffectBase::dbToText(float value, char* text) {
    if (value <= 0.0f) {
        copyString(text, "  -oo   ", kDisplayLength + 1);
        return;
    }
    floatToText(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void EffectBase::hzToText(float samples, char* text) {
    if (samples == 0.0f) {
        floatToText(0.0f, text);
        return;
    }
    floatToText(getSampleRate() / samples, text);
}

void EffectBase::msToText(float samples, char* text) {
    floatToText(static_cast<float>(static_cast<double>(samples) * 1000.0 / getSampleRate()), text);
}

void EffectBase::intToText(float value, char* text) {
    if (text == nullptr) {
        return;
    }
    if (!(value < 100000000.0f)) {
        copyString(text, kHuge, kDisplayLength + 1);
        return;
    }
    // Values below the smallest int32 are shown at that limit rather than overflowing.
    const auto integer = value > -2147483648.0f ? static_cast<VstInt32>(value) : INT32_MIN;
    char field[16];
    std::snprintf(field, sizeof field, "%7d", static_cast<int>(integer));
    copyString(text, field, kDisplayLength + 1);
}
