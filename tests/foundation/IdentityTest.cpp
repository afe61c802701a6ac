// The plug-in as a host sees it: the AEffect record, the version handshake, the life of an
// instance from `main` to effClose.
#include <gtest/gtest.h>

#include <cstring>

#include "editor/CompressorEditor.h"
#include "plugin/CompressorEffect.h"
#include "plugin/PluginEntry.h"
#include "tests/support/HostRecorder.h"

namespace {

VstIntPtr VST_CALLBACK tooOldHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) {
    return 0;
}

struct Instance {
    Instance() {
        HostRecorder::instance().reset();
        effect = pluginMain(&HostRecorder::callback);
    }
    ~Instance() {
        if (effect != nullptr) {
            effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        }
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    AEffect* effect = nullptr;
};

TEST(Identity, RecordHoldsThePluginsIdentity) {
    Instance plugin;
    ASSERT_NE(plugin.effect, nullptr);
    const AEffect& e = *plugin.effect;
    const struct {
        const char* field;
        long long value;
        long long expected;
    } numbers[] = {
        {"magic", e.magic, 0x56737450},
        {"numPrograms", e.numPrograms, 1},
        {"numParams", e.numParams, 10},
        {"numInputs", e.numInputs, 2},
        {"numOutputs", e.numOutputs, 2},
        {"resvd1", e.resvd1, 0},
        {"resvd2", e.resvd2, 0},
        {"initialDelay", e.initialDelay, 0},
        {"realQualities", e.realQualities, 0},
        {"offQualities", e.offQualities, 0},
        {"uniqueID", e.uniqueID, 0x5A4B5057},
        {"version", e.version, 1},
    };
    for (const auto& number : numbers) {
        EXPECT_EQ(number.value, number.expected) << number.field;
    }
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_NE(e.object, nullptr);
    EXPECT_EQ(e.user, nullptr);
    EXPECT_NE(e.dispatcher, nullptr);
    EXPECT_NE(e.process, nullptr);
    EXPECT_NE(e.processReplacing, nullptr);
    EXPECT_NE(e.setParameter, nullptr);
    EXPECT_NE(e.getParameter, nullptr);
    for (char byte : e.reservedTail) {
        EXPECT_EQ(byte, 0);
    }
}

TEST(Identity, UniqueIdBytesInMemoryAreTheCharactersReversed) {
    Instance plugin;
    ASSERT_NE(plugin.effect, nullptr);
    char bytes[4];
    std::memcpy(bytes, &plugin.effect->uniqueID, 4);
    EXPECT_EQ(std::string(bytes, 4), "WPKZ");
}

TEST(Identity, HasEditorFlagFollowsTheEditorObject) {
    Instance plugin;
    ASSERT_NE(plugin.effect, nullptr);
    const auto* effect = static_cast<CompressorEffect*>(EffectBase::fromRecord(plugin.effect));
    // can-mono (8) and can-replacing (16) always; has-editor (1) exactly when there is one.
    EXPECT_EQ(plugin.effect->flags & ~effFlagsHasEditor, 24);
    EXPECT_EQ((plugin.effect->flags & effFlagsHasEditor) != 0, effect->editorPointer() != nullptr);
}

TEST(Identity, MainAsksTheHostVersionOnceAndNothingElseOverALife) {
    HostRecorder& host = HostRecorder::instance();
    host.reset();
    AEffect* effect = pluginMain(&HostRecorder::callback);
    ASSERT_NE(effect, nullptr);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].effect, nullptr);
    EXPECT_EQ(host.calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(host.calls[0].index, 0);
    EXPECT_EQ(host.calls[0].value, 0);
    EXPECT_EQ(host.calls[0].ptr, nullptr);
    EXPECT_EQ(host.calls[0].opt, 0.0f);
    host.calls.clear();

    // A host's usual life of an instance: scan, set up, process, change parameters, close.
    char text[256];
    for (VstInt32 opcode = 0; opcode <= 68; ++opcode) {
        if (opcode == effClose || (opcode >= effEditGetRect && opcode <= effEditSleep) ||
            opcode >= effEditKeyDown) {
            continue; // the editor's rows are exercised by the editor's tests
        }
        std::memset(text, 0, sizeof text);
        effect->dispatcher(effect, opcode, 0, 0, text, 0.0f);
    }
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    float left[64] = {0.5f}, right[64] = {-0.25f}, outL[64] = {}, outR[64] = {};
    float* in[2] = {left, right};
    float* out[2] = {outL, outR};
    effect->processReplacing(effect, in, out, 64);
    effect->process(effect, in, out, 64);
    effect->setParameter(effect, 0, 0.9f);
    EXPECT_EQ(effect->getParameter(effect, 0), 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(host.calls.empty()) << "first unexpected host opcode " << host.calls.front().opcode;
}

TEST(Identity, MainRefusesAHostThatAnswersZeroOrIsMissing) {
    EXPECT_EQ(pluginMain(&tooOldHost), nullptr);
    EXPECT_EQ(pluginMain(nullptr), nullptr);
}

TEST(Identity, CloseDestroysAndAFreshMainStartsFromDefaults) {
    HostRecorder::instance().reset();
    AEffect* first = pluginMain(&HostRecorder::callback);
    ASSERT_NE(first, nullptr);
    auto* firstEffect = static_cast<CompressorEffect*>(EffectBase::fromRecord(first));
    firstEffect->core.setParameterValue(Threshold, 0.9f);
    EXPECT_EQ(first->dispatcher(first, effClose, 0, 0, nullptr, 0.0f), 1);

    AEffect* second = pluginMain(&HostRecorder::callback);
    ASSERT_NE(second, nullptr);
    auto* secondEffect = static_cast<CompressorEffect*>(EffectBase::fromRecord(second));
    for (int i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(secondEffect->core.parameter(i), kParameterTable[i].defaultValue) << i;
    }
    EXPECT_EQ(secondEffect->core.inputPeak.load(), 0.0f);
    EXPECT_EQ(secondEffect->core.outputPeak.load(), 0.0f);
    EXPECT_EQ(secondEffect->core.engine.smoothedGain.load(), 0.0f);
    EXPECT_EQ(static_cast<CompressorEditor*>(secondEffect->editorPointer())->draggedKnob(), 0);
    EXPECT_EQ(second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(Identity, TwoInstancesShareNoState) {
    Instance a, b;
    ASSERT_NE(a.effect, nullptr);
    ASSERT_NE(b.effect, nullptr);
    ASSERT_NE(a.effect, b.effect);
    auto* effectA = static_cast<CompressorEffect*>(EffectBase::fromRecord(a.effect));
    auto* effectB = static_cast<CompressorEffect*>(EffectBase::fromRecord(b.effect));
    effectA->core.setParameterValue(Ratio, 1.0f);
    a.dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_EQ(effectB->core.parameter(Ratio), 0.5f);
    EXPECT_EQ(effectB->getSampleRate(), 44100.0f);

    float left[32], right[32];
    for (int i = 0; i < 32; ++i) {
        left[i] = right[i] = 0.9f;
    }
    float* io[2] = {left, right};
    a.effect->processReplacing(a.effect, io, io, 32);
    EXPECT_GT(effectA->core.inputPeak.load(), 0.0f);
    EXPECT_EQ(effectB->core.inputPeak.load(), 0.0f);
    EXPECT_EQ(effectB->core.engine.smoothedGain.load(), 0.0f);
}

} // namespace
