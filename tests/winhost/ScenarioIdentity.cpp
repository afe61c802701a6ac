// Loading and scanning, as a host does when it lists its plug-ins: the version handshake, the
// AEffect record, and the answers to every opcode a host may send before it opens an editor.
#include <climits>
#include <cstring>

#include "tests/winhost/Scenarios.h"

namespace {

constexpr VstInt32 kIdentify = 0x4E764566; // 'NvEf'

// Asks a string opcode into a buffer prefilled with 0x7f; checks the answer, the text, and
// that nothing past the terminator was written.
void checkString(const Instance& instance, VstInt32 opcode, VstInt32 index, VstIntPtr answer,
                 const std::string& text, const std::string& name) {
    char buffer[256];
    std::memset(buffer, 0x7f, sizeof(buffer));
    const VstIntPtr result = instance.dispatch(opcode, index, 0, buffer);
    buffer[sizeof(buffer) - 1] = '\0';
    const std::string got(buffer);
    std::size_t written = sizeof(buffer) - 1;
    while (written > 0 && buffer[written - 1] == 0x7f) {
        --written;
    }
    check(result == answer && got == text && written == text.size() + 1,
          name + " answers " + std::to_string(answer) + " with \"" + text + "\"",
          "answered " + std::to_string(result) + " with \"" + got + "\", " +
              std::to_string(written) + " bytes written");
}

void checkUntouched(const Instance& instance, VstInt32 opcode, VstInt32 index,
                    const std::string& name) {
    char buffer[64];
    std::memset(buffer, 0x5a, sizeof(buffer));
    const VstIntPtr result = instance.dispatch(opcode, index, 0, buffer);
    bool untouched = true;
    for (char c : buffer) {
        untouched = untouched && c == 0x5a;
    }
    check(result == 0 && untouched, name + " answers 0 and leaves the buffer untouched",
          "answered " + std::to_string(result) + (untouched ? "" : ", buffer written"));
}

struct OpcodeCase {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    float opt;
    VstIntPtr answer;
    const char* name;
};

void checkRecord(AEffect* effect, const std::string& which) {
    note(which + ".magic", hex(static_cast<std::uint32_t>(effect->magic)));
    note(which + ".flags", std::to_string(effect->flags));
    note(which + ".uniqueID", hex(static_cast<std::uint32_t>(effect->uniqueID)));
    check(effect->magic == kEffectMagic, which + ": magic is 'VstP'");
    check(effect->numPrograms == 1 && effect->numParams == 10, which + ": 1 program, 10 parameters",
          std::to_string(effect->numPrograms) + ", " + std::to_string(effect->numParams));
    check(effect->numInputs == 2 && effect->numOutputs == 2, which + ": 2 inputs, 2 outputs",
          std::to_string(effect->numInputs) + ", " + std::to_string(effect->numOutputs));
    check(effect->flags == 25, which + ": flags 25 (editor, mono, replacing)",
          "flags " + std::to_string(effect->flags));
    check(effect->uniqueID == 0x5A4B5057, which + ": unique ID 'ZKPW'");
    char idBytes[4];
    std::memcpy(idBytes, &effect->uniqueID, 4);
    check(std::memcmp(idBytes, "WPKZ", 4) == 0, which + ": unique ID bytes in memory are W P K Z");
    check(effect->version == 1, which + ": version 1", std::to_string(effect->version));
    check(effect->resvd1 == 0 && effect->resvd2 == 0 && effect->initialDelay == 0 &&
              effect->realQualities == 0 && effect->offQualities == 0,
          which + ": reserved fields, delay and qualities are 0");
    check(effect->ioRatio == 1.0f, which + ": ioRatio 1.0");
    check(effect->object != nullptr && effect->user == nullptr, which + ": object set, user null");
    check(effect->dispatcher != nullptr && effect->process != nullptr &&
              effect->processReplacing != nullptr && effect->setParameter != nullptr &&
              effect->getParameter != nullptr,
          which + ": all five entry functions set");
    bool tailZero = true;
    for (char c : effect->reservedTail) {
        tailZero = tailZero && c == 0;
    }
    check(tailZero, which + ": the reserved tail is zero");
}

} // namespace

void scenarioIdentity(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    note("entry", library.entryName());
#ifndef _WIN64
    check(GetProcAddress(library.module(), "VSTPluginMain") == nullptr &&
              GetProcAddress(library.module(), "main") != nullptr,
          "the 32-bit DLL exports main and not VSTPluginMain");
#else
    check(GetProcAddress(library.module(), "VSTPluginMain") != nullptr &&
              GetProcAddress(library.module(), "main") != nullptr,
          "the 64-bit DLL exports VSTPluginMain and main");
#endif

    setHostVersionAnswer(0);
    check(library.newInstance() == nullptr,
          "main gives no instance to a host that answers 0 to audioMasterVersion");
    setHostVersionAnswer(2400);

    AEffect* effect = library.newInstance();
    if (!check(effect != nullptr, "main gives an instance")) {
        return;
    }
    Instance instance(effect);
    checkRecord(effect, "record");

    check(instance.dispatch(effOpen) == 0, "effOpen answers 0");
    checkString(instance, effGetEffectName, 0, 1, "Quorvel Demo", "effGetEffectName");
    checkString(instance, effGetVendorString, 0, 1, "Almacor", "effGetVendorString");
    checkString(instance, effGetProductString, 0, 1, "Quorvel Demo", "effGetProductString");
    checkString(instance, effGetProgramName, 0, 0, "Default", "effGetProgramName");
    for (VstInt32 index : {-1, 0, 4, 9, 10, 1000}) {
        const std::string at = " (index " + std::to_string(index) + ")";
        checkString(instance, effGetParamName, index, 0, "Demo", "effGetParamName" + at);
        checkString(instance, effGetParamLabel, index, 0, "", "effGetParamLabel" + at);
        checkString(instance, effGetParamDisplay, index, 0, "", "effGetParamDisplay" + at);
    }
    checkUntouched(instance, effGetProgramNameIndexed, 0, "effGetProgramNameIndexed");
    checkUntouched(instance, effGetErrorText, 0, "effGetErrorText");

    const char* const capabilities[] = {"sendVstEvents",
                                        "sendVstMidiEvent",
                                        "receiveVstEvents",
                                        "receiveVstMidiEvent",
                                        "receiveVstTimeInfo",
                                        "offline",
                                        "plugAsChannelInsert",
                                        "plugAsSend",
                                        "mixDryWet",
                                        "noRealTime",
                                        "multipass",
                                        "metapass",
                                        "1in1out",
                                        "1in2out",
                                        "2in1out",
                                        "2in2out",
                                        "2in4out",
                                        "4in2out",
                                        "4in4out",
                                        "8in8out",
                                        "midiProgramNames",
                                        "conformsToWindowRules",
                                        "bypass",
                                        "",
                                        "somethingElse"};
    std::string canDoFailures;
    for (const char* capability : capabilities) {
        const VstIntPtr answer = instance.dispatch(effCanDo, 0, 0, const_cast<char*>(capability));
        if (answer != 0) {
            canDoFailures += std::string(" \"") + capability + "\"=" + std::to_string(answer);
        }
    }
    check(canDoFailures.empty(), "effCanDo answers 0 for every capability", canDoFailures);

    // Scratch memory for opcodes whose pointer a host fills with a record.
    alignas(16) static char scratch[1024];
    void* chunk = nullptr;
    const OpcodeCase cases[] = {
        {effGetProgram, 0, 0, 0.0f, 0, "effGetProgram"},
        {effSetProgram, 0, 0, 0.0f, 0, "effSetProgram 0"},
        {effSetProgram, 0, 5, 0.0f, 0, "effSetProgram 5"},
        {effGetProgram, 0, 0, 0.0f, 0, "effGetProgram after effSetProgram 5"},
        {effGetVu, 0, 0, 0.0f, 0, "effGetVu"},
        {effSetSampleRate, 0, 0, 48000.0f, 0, "effSetSampleRate"},
        {effSetBlockSize, 0, 256, 0.0f, 0, "effSetBlockSize"},
        {effMainsChanged, 0, 0, 0.0f, 0, "effMainsChanged 0"},
        {effMainsChanged, 0, 1, 0.0f, 0, "effMainsChanged 1"},
        {effEditDraw, 0, 0, 0.0f, 0, "effEditDraw"},
        {effEditMouse, 0, 0, 0.0f, 0, "effEditMouse"},
        {effEditKey, 0, 0, 0.0f, 0, "effEditKey"},
        {effEditTop, 0, 0, 0.0f, 0, "effEditTop"},
        {effEditSleep, 0, 0, 0.0f, 0, "effEditSleep"},
        {effIdentify, 0, 0, 0.0f, kIdentify, "effIdentify ('NvEf')"},
        {effProcessEvents, 0, 0, 0.0f, 0, "effProcessEvents"},
        {effString2Parameter, 0, 0, 0.0f, 0, "effString2Parameter"},
        {effGetNumProgramCategories, 0, 0, 0.0f, 1, "effGetNumProgramCategories"},
        {effCopyProgram, 0, 0, 0.0f, 0, "effCopyProgram"},
        {effConnectInput, 0, 1, 0.0f, 1, "effConnectInput"},
        {effConnectOutput, 1, 0, 0.0f, 1, "effConnectOutput"},
        {effGetInputProperties, 0, 0, 0.0f, 0, "effGetInputProperties"},
        {effGetOutputProperties, 0, 0, 0.0f, 0, "effGetOutputProperties"},
        {effGetPlugCategory, 0, 0, 0.0f, 0, "effGetPlugCategory"},
        {effGetCurrentPosition, 0, 0, 0.0f, 0, "effGetCurrentPosition"},
        {effGetDestinationBuffer, 0, 0, 0.0f, 0, "effGetDestinationBuffer"},
        {effOfflineNotify, 1, 0, 0.0f, 0, "effOfflineNotify"},
        {effOfflinePrepare, 0, 0, 0.0f, 0, "effOfflinePrepare"},
        {effOfflineRun, 0, 0, 0.0f, 0, "effOfflineRun"},
        {effProcessVarIo, 0, 0, 0.0f, 0, "effProcessVarIo"},
        {effSetSpeakerArrangement, 0, 0, 0.0f, 0, "effSetSpeakerArrangement"},
        {effSetBlockSizeAndSampleRate, 0, 512, 44100.0f, 1, "effSetBlockSizeAndSampleRate"},
        {effSetBypass, 0, 1, 0.0f, 0, "effSetBypass"},
        {effGetVendorVersion, 0, 0, 0.0f, 0, "effGetVendorVersion"},
        {effVendorSpecific, 1, 2, 3.0f, 0, "effVendorSpecific"},
        {effGetTailSize, 0, 0, 0.0f, 0, "effGetTailSize"},
        {effIdle, 0, 0, 0.0f, 0, "effIdle"},
        {effGetIcon, 0, 0, 0.0f, 0, "effGetIcon"},
        {effSetViewPosition, 10, 20, 0.0f, 0, "effSetViewPosition"},
        {effGetParameterProperties, 0, 0, 0.0f, 0, "effGetParameterProperties"},
        {effKeysRequired, 0, 0, 0.0f, 1, "effKeysRequired"},
        {effGetVstVersion, 0, 0, 0.0f, 2200, "effGetVstVersion"},
        {effEditKeyDown, 'a', 0, 0.0f, -1, "effEditKeyDown"},
        {effEditKeyUp, 'a', 0, 0.0f, -1, "effEditKeyUp"},
        {effSetEditKnobMode, 0, 2, 0.0f, 0, "effSetEditKnobMode"},
        {effGetMidiProgramName, 0, 0, 0.0f, 0, "effGetMidiProgramName"},
        {effGetCurrentMidiProgram, 0, 0, 0.0f, -1, "effGetCurrentMidiProgram"},
        {effGetMidiProgramCategory, 0, 0, 0.0f, 0, "effGetMidiProgramCategory"},
        {effHasMidiProgramsChanged, 0, 0, 0.0f, 0, "effHasMidiProgramsChanged"},
        {effGetMidiKeyName, 0, 0, 0.0f, 0, "effGetMidiKeyName"},
        {effBeginSetProgram, 0, 0, 0.0f, 0, "effBeginSetProgram"},
        {effEndSetProgram, 0, 0, 0.0f, 0, "effEndSetProgram"},
        {effSetChunk, 0, 16, 0.0f, 0, "effSetChunk"},
        {-1, 0, 0, 0.0f, 0, "opcode -1"},
        {-100, 0, 0, 0.0f, 0, "opcode -100"},
        {69, 0, 0, 0.0f, 0, "opcode 69"},
        {70, 0, 0, 0.0f, 0, "opcode 70"},
        {1000, 0, 0, 0.0f, 0, "opcode 1000"},
        {INT_MAX, 0, 0, 0.0f, 0, "opcode INT_MAX"},
        {INT_MIN, 0, 0, 0.0f, 0, "opcode INT_MIN"},
    };
    for (const OpcodeCase& c : cases) {
        std::memset(scratch, 0, sizeof(scratch));
        const VstIntPtr answer = instance.dispatch(c.opcode, c.index, c.value, scratch, c.opt);
        check(answer == c.answer, std::string(c.name) + " answers " + std::to_string(c.answer),
              "answered " + std::to_string(answer));
    }
    check(instance.dispatch(effGetChunk, 0, 0, &chunk) == 0 && chunk == nullptr,
          "effGetChunk answers 0 and gives no chunk");

    for (VstInt32 index = 0; index < 10; ++index) {
        if (instance.dispatch(effCanBeAutomated, index) != 1) {
            check(false, "effCanBeAutomated answers 1", "index " + std::to_string(index));
        }
    }
    char newName[24] = "Renamed";
    instance.dispatch(effSetProgramName, 0, 0, newName);
    checkString(instance, effGetProgramName, 0, 0, "Default",
                "effGetProgramName after effSetProgramName");

    // The host-facing parameters are inert.
    std::string parameterFailures;
    for (VstInt32 index = -1; index <= 10; ++index) {
        effect->setParameter(effect, index, 0.77f);
        const float value = effect->getParameter(effect, index);
        if (value != 0.0f) {
            parameterFailures += " " + std::to_string(index) + "=" + std::to_string(value);
        }
    }
    check(parameterFailures.empty(),
          "getParameter answers 0.0 for every index, also after "
          "setParameter",
          parameterFailures);

    ERect* rect = nullptr;
    const VstIntPtr rectAnswer = instance.dispatch(effEditGetRect, 0, 0, &rect);
    check(rectAnswer == 1 && rect != nullptr && rect->top == 0 && rect->left == 0 &&
              rect->bottom == 170 && rect->right == 550,
          "effEditGetRect answers 1 with the rectangle (0, 0, 170, 550)");

    // A second instance is independent and gets the same editor rectangle.
    AEffect* second = library.newInstance();
    if (check(second != nullptr && second != effect && second->object != effect->object,
              "a second main call gives a second, separate instance")) {
        checkRecord(second, "second record");
        ERect* secondRect = nullptr;
        Instance(second).dispatch(effEditGetRect, 0, 0, &secondRect);
        check(secondRect == rect, "both instances hand out the same editor rectangle");
        check(Instance(second).close() == 1, "effClose of the second instance answers 1");
    }

    check(instance.close() == 1, "effClose answers 1");
    // A fresh instance after the close, with the same identity.
    AEffect* third = library.newInstance();
    if (check(third != nullptr, "main after effClose gives a fresh instance")) {
        checkRecord(third, "fresh record");
        checkString(Instance(third), effGetEffectName, 0, 1, "Quorvel Demo",
                    "fresh instance effGetEffectName");
        check(Instance(third).close() == 1, "effClose of the fresh instance answers 1");
    }

    std::string duringEntry;
    int versionCalls = 0;
    for (const HostCall& call : hostCalls()) {
        if (call.duringEntry) {
            if (call.opcode == audioMasterVersion && call.index == 0 && call.value == 0) {
                ++versionCalls;
            } else {
                duringEntry += " opcode " + std::to_string(call.opcode);
            }
        }
    }
    // Four main calls: the refused one, the first, the second and the fresh instance.
    check(duringEntry.empty() && versionCalls == 4,
          "each main call asks the host audioMasterVersion once and nothing else",
          std::to_string(versionCalls) + " version calls;" + duringEntry);
    checkNoHostCallsAfterEntry("during the scan");
}
