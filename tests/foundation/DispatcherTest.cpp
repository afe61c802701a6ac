// Every dispatcher row, checked against the answers a host must see.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "host/EditorBase.h"
#include "plugin/CompressorEffect.h"
#include "tests/support/HostRecorder.h"

namespace {

// The 2.x layer with no editor and no processing of its own: "no editor" rows and the
// generic construction state.
class BareEffect : public EffectBaseExt {
public:
    BareEffect(audioMasterCallback host, VstInt32 programs, VstInt32 params)
        : EffectBaseExt(host, programs, params) {}
    void process(float**, float**, VstInt32) override {}
    using EffectBase::setFlag;
};

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        HostRecorder::instance().reset();
        effect = new CompressorEffect(&HostRecorder::callback);
    }
    void TearDown() override { delete effect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(opcode, index, value, ptr, opt);
    }
    std::string textOf(VstInt32 opcode, VstInt32 index = 0, VstIntPtr* answer = nullptr) {
        char buffer[256];
        std::memset(buffer, 'x', sizeof buffer);
        buffer[255] = '\0';
        const VstIntPtr result = dispatch(opcode, index, 0, buffer);
        if (answer != nullptr) {
            *answer = result;
        }
        return buffer;
    }
    CompressorEffect* effect = nullptr;
};

struct Row {
    VstInt32 opcode;
    VstIntPtr answer;
};

// Rows that answer the same whatever the editor; the buffer-filling rows are checked below.
const Row kPlainRows[] = {
    {effOpen, 0},
    {effClose, 0},
    {effSetProgram, 0},
    {effGetProgram, 0},
    {effSetProgramName, 0},
    {effGetVu, 0},
    {effSetSampleRate, 0},
    {effSetBlockSize, 0},
    {effMainsChanged, 0},
    {effEditDraw, 0},
    {effEditMouse, 0},
    {effEditKey, 0},
    {effEditTop, 0},
    {effEditSleep, 0},
    {effIdentify, 0x4E764566},
    {effGetChunk, 0},
    {effSetChunk, 0},
    {effProcessEvents, 0},
    {effCanBeAutomated, 1},
    {effString2Parameter, 0},
    {effGetNumProgramCategories, 1},
    {effCopyProgram, 0},
    {effConnectInput, 1},
    {effConnectOutput, 1},
    {effGetInputProperties, 0},
    {effGetOutputProperties, 0},
    {effGetPlugCategory, 0},
    {effGetCurrentPosition, 0},
    {effGetDestinationBuffer, 0},
    {effOfflineNotify, 0},
    {effOfflinePrepare, 0},
    {effOfflineRun, 0},
    {effProcessVarIo, 0},
    {effSetSpeakerArrangement, 0},
    {effSetBlockSizeAndSampleRate, 1},
    {effSetBypass, 0},
    {effGetErrorText, 0},
    {effGetVendorVersion, 0},
    {effVendorSpecific, 0},
    {effCanDo, 0},
    {effGetTailSize, 0},
    {effIdle, 0},
    {effGetIcon, 0},
    {effSetViewPosition, 0},
    {effGetParameterProperties, 0},
    {effKeysRequired, 1},
    {effGetVstVersion, 2200},
    {effGetMidiProgramName, 0},
    {effGetCurrentMidiProgram, -1},
    {effGetMidiProgramCategory, 0},
    {effHasMidiProgramsChanged, 0},
    {effGetMidiKeyName, 0},
    {effBeginSetProgram, 0},
    {effEndSetProgram, 0},
};

TEST_F(Dispatcher, EveryPlainRowAnswersAsTheTableSays) {
    for (const Row& row : kPlainRows) {
        char buffer[256] = "capability";
        for (VstInt32 index : {0, 9, 100}) {
            EXPECT_EQ(dispatch(row.opcode, index, 0, buffer), row.answer)
                << "opcode " << row.opcode << " index " << index;
        }
    }
}

TEST_F(Dispatcher, OpcodesOutsideTheTableAnswerZero) {
    for (VstInt32 opcode : {-1, 69, 70, 1000, INT_MIN, INT_MAX, -25}) {
        char buffer[64] = "unchanged";
        EXPECT_EQ(dispatch(opcode, 1, 1, buffer, 1.0f), 0) << opcode;
        EXPECT_STREQ(buffer, "unchanged");
    }
}

TEST_F(Dispatcher, NamesAreTheSystemsOwn) {
    VstIntPtr answer = -7;
    EXPECT_EQ(textOf(effGetProgramName, 0, &answer), "Default");
    EXPECT_EQ(answer, 0);
    for (VstInt32 index : {0, 9, 10, -1, 1000}) {
        EXPECT_EQ(textOf(effGetParamName, index, &answer), "Demo");
        EXPECT_EQ(answer, 0);
        EXPECT_EQ(textOf(effGetParamLabel, index, &answer), "");
        EXPECT_EQ(answer, 0);
        EXPECT_EQ(textOf(effGetParamDisplay, index, &answer), "");
        EXPECT_EQ(answer, 0);
    }
    EXPECT_EQ(textOf(effGetEffectName, 0, &answer), "Quorvel Demo");
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(textOf(effGetVendorString, 0, &answer), "Almacor");
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(textOf(effGetProductString, 0, &answer), "Quorvel Demo");
    EXPECT_EQ(answer, 1);
}

TEST_F(Dispatcher, RowsThatLeaveTheBufferUntouched) {
    char buffer[64] = "untouched";
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 0, 0, buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(dispatch(effGetErrorText, 0, 0, buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(dispatch(effSetProgramName, 0, 0, buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(textOf(effGetProgramName), "Default");
}

TEST_F(Dispatcher, NamesStayInsideTheInterfacesBufferSizes) {
    // Each string with its terminator fits the buffer the interface fixes; nothing is written
    // beyond the terminator.
    const struct {
        VstInt32 opcode;
        std::size_t size;
    } rows[] = {{effGetProgramName, 24},  {effGetParamName, 8},   {effGetParamLabel, 8},
                {effGetParamDisplay, 8},  {effGetEffectName, 32}, {effGetVendorString, 64},
                {effGetProductString, 64}};
    for (const auto& row : rows) {
        char buffer[128];
        std::memset(buffer, 0x5A, sizeof buffer);
        dispatch(row.opcode, 0, 0, buffer);
        const std::size_t used = std::strlen(buffer) + 1;
        EXPECT_LE(used, row.size) << row.opcode;
        for (std::size_t i = used; i < sizeof buffer; ++i) {
            ASSERT_EQ(buffer[i], 0x5A) << "opcode " << row.opcode << " wrote byte " << i;
        }
    }
}

TEST_F(Dispatcher, NullBuffersAnswerZeroAndWriteNothing) {
    for (VstInt32 opcode :
         {effSetProgramName, effGetProgramName, effGetParamLabel, effGetParamDisplay,
          effGetParamName, effGetChunk, effGetProgramNameIndexed, effGetEffectName, effGetErrorText,
          effGetVendorString, effGetProductString, effCanDo, effEditGetRect, effString2Parameter,
          effGetMidiProgramName, effGetMidiKeyName}) {
        EXPECT_EQ(dispatch(opcode, 0, 0, nullptr), 0) << opcode;
    }
}

TEST_F(Dispatcher, SampleRateAndBlockSizeAreStored) {
    EXPECT_EQ(effect->getSampleRate(), 44100.0f);
    EXPECT_EQ(effect->getBlockSize(), 1024);
    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 48000.0f), 1);
    EXPECT_EQ(effect->getBlockSize(), 512);
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(effSetBlockSize, 0, 64);
    EXPECT_EQ(effect->getSampleRate(), 96000.0f);
    EXPECT_EQ(effect->getBlockSize(), 64);
    dispatch(effSetSampleRate, 0, 0, nullptr, -1.0f); // stored unchanged, no range check
    EXPECT_EQ(effect->getSampleRate(), -1.0f);
}

TEST_F(Dispatcher, ProgramCannotChange) {
    dispatch(effSetProgram, 0, 1); // equal to the count: ignored
    EXPECT_EQ(dispatch(effGetProgram), 0);
    dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(dispatch(effGetProgram), 0);
    char name[24] = "Renamed";
    dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(textOf(effGetProgramName), "Default");
}

TEST_F(Dispatcher, CanDoAnswersZeroForEveryString) {
    for (const char* text : {"receiveVstEvents", "1in1out", "", "2in2out", "plugAsChannelInsert"}) {
        std::string copy = text;
        EXPECT_EQ(dispatch(effCanDo, 0, 0, &copy[0]), 0) << text;
    }
}

TEST_F(Dispatcher, HostSettingsOfParametersAreInert) {
    for (VstInt32 index : {-1, 0, 4, 9, 10, 1000}) {
        effect->getAeffect()->setParameter(effect->getAeffect(), index, 0.77f);
        EXPECT_EQ(effect->getAeffect()->getParameter(effect->getAeffect(), index), 0.0f);
    }
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(effect->core.parameter(i), kParameterTable[i].defaultValue);
    }
}

TEST(DispatcherWithoutEditor, EditorRowsAnswerZero) {
    BareEffect bare(nullptr, 1, 1);
    ASSERT_EQ(bare.getEditor(), nullptr);
    ERect* rect = reinterpret_cast<ERect*>(0x1);
    VstKeyCode key{};
    int parent = 0;
    EXPECT_EQ(bare.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(rect, reinterpret_cast<ERect*>(0x1));
    EXPECT_EQ(bare.dispatcher(effEditOpen, 0, 0, &parent, 0.0f), 0);
    EXPECT_EQ(bare.dispatcher(effEditClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(bare.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(bare.dispatcher(effEditKeyDown, 'a', 1, &key, 0.0f), 0);
    EXPECT_EQ(bare.dispatcher(effEditKeyUp, 'a', 1, &key, 0.0f), 0);
    EXPECT_EQ(bare.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 0);
}

// An editor that records what the dispatcher hands it.
class RecordingEditor : public EditorBase {
public:
    using EditorBase::EditorBase;
    VstInt32 onKeyDown(VstKeyCode& key) override {
        lastKey = key;
        ++keyDowns;
        return EditorBase::onKeyDown(key);
    }
    VstInt32 onKeyUp(VstKeyCode& key) override {
        lastKey = key;
        ++keyUps;
        return EditorBase::onKeyUp(key);
    }
    void update() override { ++updates; }
    VstKeyCode lastKey{};
    int keyDowns = 0, keyUps = 0, updates = 0;
};

class EffectWithRecordingEditor : public BareEffect {
public:
    EffectWithRecordingEditor() : BareEffect(nullptr, 1, 1) {
        recorder = new RecordingEditor(this);
        editor = recorder;
    }
    RecordingEditor* recorder;
};

TEST(DispatcherWithEditor, KeyCodeIsBuiltFromIndexValueAndOption) {
    EffectWithRecordingEditor effect;
    EXPECT_EQ(effect.dispatcher(effEditKeyDown, 'q', 0x1234, nullptr, 3.9f), -1);
    EXPECT_EQ(effect.recorder->lastKey.character, 'q');
    EXPECT_EQ(effect.recorder->lastKey.virt, 0x34);
    EXPECT_EQ(effect.recorder->lastKey.modifier, 3);
    EXPECT_EQ(effect.dispatcher(effEditKeyUp, 7, 0x01, nullptr, 258.7f), -1);
    EXPECT_EQ(effect.recorder->lastKey.modifier, 2); // 258 truncated, low 8 bits
    EXPECT_EQ(effect.dispatcher(effEditKeyUp, 7, 0x01, nullptr, -1.5f), -1);
    EXPECT_EQ(effect.recorder->lastKey.modifier, 0xFF); // -1, low 8 bits
    EXPECT_EQ(effect.dispatcher(effEditKeyUp, 7, 0x01, nullptr, NAN), -1);
    EXPECT_EQ(effect.recorder->lastKey.modifier, 0);
    EXPECT_EQ(effect.recorder->keyDowns, 1);
    EXPECT_EQ(effect.recorder->keyUps, 3);
    EXPECT_EQ(effect.dispatcher(effSetEditKnobMode, 0, 2, nullptr, 0.0f), 0);
}

TEST(DispatcherWithEditor, BaseEditorSlotsBehaveAsDefined) {
    EffectWithRecordingEditor effect;
    ERect* rect = reinterpret_cast<ERect*>(0x1);
    EXPECT_EQ(effect.dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(rect, nullptr);
    int parentToken = 0;
    EXPECT_EQ(effect.dispatcher(effEditOpen, 0, 0, &parentToken, 0.0f), 0);
    EXPECT_EQ(effect.recorder->parent(), &parentToken);
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect.recorder->updates, 0);
    effect.recorder->postUpdate();
    effect.dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect.recorder->updates, 1);
    EXPECT_EQ(effect.recorder->isUpdatePending(), 0);
    EXPECT_EQ(effect.recorder->onWheel(1.0f), 0);
}

TEST(EffectBaseLayer, GenericConstructionState) {
    BareEffect bare(nullptr, 3, 7);
    const AEffect* e = bare.getAeffect();
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->numPrograms, 3);
    EXPECT_EQ(e->numParams, 7);
    EXPECT_EQ(e->numInputs, 1);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0);
    EXPECT_EQ(e->uniqueID, 0x4E6F4566);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_EQ(e->object, &bare);
    // The 2.0 base stores programs below the count, and ignores the rest.
    bare.dispatcher(effSetProgram, 0, 2, nullptr, 0.0f);
    EXPECT_EQ(bare.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 2);
    bare.dispatcher(effSetProgram, 0, 3, nullptr, 0.0f);
    EXPECT_EQ(bare.dispatcher(effGetProgram, 0, 0, nullptr, 0.0f), 2);
    // Base names are empty; the 2.x name rows answer false and leave the buffer alone.
    char buffer[32] = "xyz";
    bare.dispatcher(effGetParamName, 0, 0, buffer, 0.0f);
    EXPECT_STREQ(buffer, "");
    std::strcpy(buffer, "xyz");
    EXPECT_EQ(bare.dispatcher(effGetEffectName, 0, 0, buffer, 0.0f), 0);
    EXPECT_STREQ(buffer, "xyz");
}

TEST(EffectBaseLayer, FlagSettersSetAndClearTheirBit) {
    BareEffect bare(nullptr, 1, 1);
    struct {
        void (EffectBaseExt::*setter)(bool);
        VstInt32 flag;
    } rows[] = {
        {&EffectBaseExt::setHasVu, 4},           {&EffectBaseExt::setHasClip, 2},
        {&EffectBaseExt::setCanMono, 8},         {&EffectBaseExt::setCanReplacing, 16},
        {&EffectBaseExt::setProgramChunks, 32},  {&EffectBaseExt::setExtIsAsync, 1024},
        {&EffectBaseExt::setExtHasBuffer, 2048}, {&EffectBaseExt::setIsSynth, 256},
        {&EffectBaseExt::setNoSoundInStop, 512},
    };
    for (const auto& row : rows) {
        (bare.*row.setter)(true);
        EXPECT_EQ(bare.getAeffect()->flags, row.flag);
        (bare.*row.setter)(false);
        EXPECT_EQ(bare.getAeffect()->flags, 0);
    }
    bare.setIsSynth(true);
    EXPECT_EQ(bare.dispatcher(effGetPlugCategory, 0, 0, nullptr, 0.0f), 2);
    const struct {
        void (EffectBase::*setter)(VstInt32);
        VstInt32 AEffect::*field;
        VstInt32 value;
    } fields[] = {
        {&EffectBase::setUniqueId, &AEffect::uniqueID, 42},
        {&EffectBase::setNumInputs, &AEffect::numInputs, 5},
        {&EffectBase::setNumOutputs, &AEffect::numOutputs, 6},
        {&EffectBase::setRealQualities, &AEffect::realQualities, 7},
        {&EffectBase::setOffQualities, &AEffect::offQualities, 8},
        {&EffectBase::setInitialDelay, &AEffect::initialDelay, 9},
    };
    for (const auto& row : fields) {
        (bare.*row.setter)(row.value);
    }
    for (const auto& row : fields) {
        EXPECT_EQ(bare.getAeffect()->*row.field, row.value);
    }
}

TEST(EffectBaseLayer, MainsChangedSuspendsOnZeroAndResumesOtherwise) {
    struct Counting : BareEffect {
        Counting() : BareEffect(nullptr, 1, 1) {}
        void suspend() override { ++suspends; }
        void resume() override { ++resumes; }
        int suspends = 0, resumes = 0;
    } effect;
    effect.dispatcher(effMainsChanged, 0, 0, nullptr, 0.0f);
    effect.dispatcher(effMainsChanged, 0, 5, nullptr, 0.0f);
    effect.dispatcher(effMainsChanged, 0, -1, nullptr, 0.0f);
    EXPECT_EQ(effect.suspends, 1);
    EXPECT_EQ(effect.resumes, 2);
}

TEST(EffectBaseLayer, VuIsScaledAndTruncated) {
    struct Metered : BareEffect {
        Metered() : BareEffect(nullptr, 1, 1) {}
        float getVu() override { return vu; }
        float vu = 0.0f;
    } effect;
    const struct {
        float vu;
        VstIntPtr answer;
    } rows[] = {{0.0f, 0},  {1.0f, 32767}, {0.5f, 16383}, {-0.5f, -16383},
                {1e-5f, 0}, {1e30f, 0},    {NAN, 0}};
    for (const auto& row : rows) {
        effect.vu = row.vu;
        EXPECT_EQ(effect.dispatcher(effGetVu, 0, 0, nullptr, 0.0f), row.answer) << row.vu;
    }
}

TEST(ValueToText, HelpersFillAnEightCharacterField) {
    BareEffect bare(nullptr, 1, 1);
    bare.setSampleRate(48000.0f); // for the Hz and ms helpers, which take samples
    using Helper = void (EffectBase::*)(float, char*);
    const Helper db = &EffectBase::dbToText, real = &EffectBase::floatToText,
                 whole = &EffectBase::intToText, hz = &EffectBase::hzToText,
                 ms = &EffectBase::msToText;
    const struct {
        Helper helper;
        float value;
        const char* text;
    } rows[] = {
        {db, 0.0f, "  -oo   "},           {db, -2.0f, "  -oo   "},
        {db, 1.0f, "0.000000"},           {db, 10.0f, "20.00000"},
        {real, 1.5f, "1.500000"},         {real, -1.5f, "-1.50000"},
        {real, 1234567.0f, "1234567."},   {real, 123456789.0f, " Huge!  "},
        {real, 100000000.0f, " Huge!  "}, // the first float above 99999999
        {real, 99999992.0f, "99999992"},  // the last float below it
        {real, -10000000.0f, " Huge!  "}, {real, NAN, " Huge!  "},
        {real, INFINITY, " Huge!  "},     {real, -INFINITY, " Huge!  "},
        {whole, 42.0f, "     42"},        {whole, 100000000.0f, " Huge!  "},
        {whole, -1234567.0f, "-1234567"}, {whole, NAN, " Huge!  "},
        {whole, -INFINITY, "-2147483"}, // held at the smallest integer, cut to the field
        {hz, 0.0f, "0.000000"},           {hz, 480.0f, "100.0000"},
        {ms, 4800.0f, "100.0000"},
    };
    for (const auto& row : rows) {
        char text[16];
        (bare.*row.helper)(row.value, text);
        EXPECT_STREQ(text, row.text) << row.value;
    }
}

} // namespace
