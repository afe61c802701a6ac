// Every host-request wrapper: the opcode and argument positions it sends, the conversion of
// the answer, and the answer when there is no host.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "host/EffectBaseExt.h"
#include "plugin/CompressorEffect.h"
#include "tests/support/HostRecorder.h"

namespace {

class Probe : public EffectBaseExt {
public:
    explicit Probe(audioMasterCallback host) : EffectBaseExt(host, 1, 1) {}
    void process(float**, float**, VstInt32) override {}
};

int token1, token2;
void* const kP1 = &token1;
void* const kP2 = &token2;

struct Request {
    const char* name;
    std::function<VstIntPtr(Probe&)> call; // the wrapper's result, as an integer
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    // The result for a host answering 5, and for no host at all.
    VstIntPtr resultWhenHostAnswers5;
    VstIntPtr resultWithoutHost;
};

VstIntPtr asInt(const void* p) { return reinterpret_cast<VstIntPtr>(p); }

const std::vector<Request>& requests() {
    static const std::vector<Request> rows = {
        {"getMasterVersion", [](Probe& p) { return VstIntPtr(p.getMasterVersion()); },
         audioMasterVersion, 0, 0, nullptr, 0.0f, 5, 1},
        {"getCurrentId", [](Probe& p) { return VstIntPtr(p.getCurrentId()); },
         audioMasterCurrentId, 0, 0, nullptr, 0.0f, 5, 0},
        {"masterIdle", [](Probe& p) { p.masterIdle(); return VstIntPtr(0); }, audioMasterIdle, 0,
         0, nullptr, 0.0f, 0, 0},
        {"isInputConnected", [](Probe& p) { return VstIntPtr(p.isInputConnected(3)); },
         audioMasterPinConnected, 3, 0, nullptr, 0.0f, 0, 1},
        {"isOutputConnected", [](Probe& p) { return VstIntPtr(p.isOutputConnected(4)); },
         audioMasterPinConnected, 4, 1, nullptr, 0.0f, 0, 1},
        {"wantMidi", [](Probe& p) { p.wantMidi(7); return VstIntPtr(0); }, audioMasterWantMidi, 0,
         7, nullptr, 0.0f, 0, 0},
        {"getTime", [](Probe& p) { return asInt(p.getTime(9)); }, audioMasterGetTime, 0, 9,
         nullptr, 0.0f, 5, 0},
        {"tempoAt", [](Probe& p) { return VstIntPtr(p.tempoAt(11)); }, audioMasterTempoAt, 0, 11,
         nullptr, 0.0f, 5, 0},
        {"getNumAutomatableParameters",
         [](Probe& p) { return VstIntPtr(p.getNumAutomatableParameters()); },
         audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f, 5, 0},
        {"getParameterQuantization",
         [](Probe& p) { return VstIntPtr(p.getParameterQuantization()); },
         audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f, 5, 0},
        {"ioChanged", [](Probe& p) { return VstIntPtr(p.ioChanged()); }, audioMasterIOChanged, 0,
         0, nullptr, 0.0f, 1, 0},
        {"needIdle", [](Probe& p) { return VstIntPtr(p.needIdle()); }, audioMasterNeedIdle, 0, 0,
         nullptr, 0.0f, 1, 0},
        {"sizeWindow", [](Probe& p) { return VstIntPtr(p.sizeWindow(640, 480)); },
         audioMasterSizeWindow, 640, 480, nullptr, 0.0f, 1, 0},
        {"updateSampleRate", [](Probe& p) { return VstIntPtr(p.updateSampleRate()); },
         audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, 44100, 44100},
        {"updateBlockSize", [](Probe& p) { return VstIntPtr(p.updateBlockSize()); },
         audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, 1024, 1024},
        {"getInputLatency", [](Probe& p) { return VstIntPtr(p.getInputLatency()); },
         audioMasterGetInputLatency, 0, 0, nullptr, 0.0f, 5, 0},
        {"getOutputLatency", [](Probe& p) { return VstIntPtr(p.getOutputLatency()); },
         audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f, 5, 0},
        {"getPreviousPlug", [](Probe& p) { return asInt(p.getPreviousPlug(3)); },
         audioMasterGetPreviousPlug, 0, 0, nullptr, 0.0f, 5, 0},
        {"getNextPlug", [](Probe& p) { return asInt(p.getNextPlug(3)); }, audioMasterGetNextPlug,
         0, 0, nullptr, 0.0f, 5, 0},
        {"willReplaceOrAccumulate", [](Probe& p) { return VstIntPtr(p.willReplaceOrAccumulate()); },
         audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f, 5, 0},
        {"getCurrentProcessLevel", [](Probe& p) { return VstIntPtr(p.getCurrentProcessLevel()); },
         audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f, 5, 0},
        {"getAutomationState", [](Probe& p) { return VstIntPtr(p.getAutomationState()); },
         audioMasterGetAutomationState, 0, 0, nullptr, 0.0f, 5, 0},
        {"offlineStart",
         [](Probe& p) { return VstIntPtr(p.offlineStart(static_cast<VstAudioFile*>(kP1), 2, 3)); },
         audioMasterOfflineStart, 3, 2, kP1, 0.0f, 1, 0},
        {"offlineRead",
         [](Probe& p) {
             return VstIntPtr(p.offlineRead(static_cast<VstOfflineTask*>(kP1), 6, true));
         },
         audioMasterOfflineRead, 1, 6, kP1, 0.0f, 1, 0},
        {"offlineWrite",
         [](Probe& p) { return VstIntPtr(p.offlineWrite(static_cast<VstOfflineTask*>(kP1), 6)); },
         audioMasterOfflineWrite, 0, 6, kP1, 0.0f, 1, 0},
        {"offlineGetCurrentPass", [](Probe& p) { return VstIntPtr(p.offlineGetCurrentPass()); },
         audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f, 1, 0},
        {"offlineGetCurrentMetaPass",
         [](Probe& p) { return VstIntPtr(p.offlineGetCurrentMetaPass()); },
         audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f, 1, 0},
        {"setOutputSampleRate", [](Probe& p) { p.setOutputSampleRate(22050.0f); return VstIntPtr(0); },
         audioMasterSetOutputSampleRate, 0, 0, nullptr, 22050.0f, 0, 0},
        {"getHostSpeakerArrangement",
         [](Probe& p) {
             return VstIntPtr(p.getHostSpeakerArrangement(static_cast<VstSpeakerArrangement**>(kP1),
                                                          static_cast<VstSpeakerArrangement**>(kP2)));
         },
         audioMasterGetSpeakerArrangement, 0, asInt(kP1), kP2, 0.0f, 1, 0},
        {"getHostVendorString",
         [](Probe& p) { return VstIntPtr(p.getHostVendorString(static_cast<char*>(kP1))); },
         audioMasterGetVendorString, 0, 0, kP1, 0.0f, 1, 0},
        {"getHostProductString",
         [](Probe& p) { return VstIntPtr(p.getHostProductString(static_cast<char*>(kP1))); },
         audioMasterGetProductString, 0, 0, kP1, 0.0f, 1, 0},
        {"getHostVendorVersion", [](Probe& p) { return VstIntPtr(p.getHostVendorVersion()); },
         audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f, 5, 0},
        {"hostVendorSpecific", [](Probe& p) { return p.hostVendorSpecific(12, 13, kP1, 1.5f); },
         audioMasterVendorSpecific, 12, 13, kP1, 1.5f, 5, 0},
        {"canHostDo", [](Probe& p) { return VstIntPtr(p.canHostDo(static_cast<char*>(kP1))); },
         audioMasterCanDo, 0, 0, kP1, 0.0f, 1, 0},
        {"getHostLanguage", [](Probe& p) { return VstIntPtr(p.getHostLanguage()); },
         audioMasterGetLanguage, 0, 0, nullptr, 0.0f, 5, 0},
        {"openWindow", [](Probe& p) { return asInt(p.openWindow(static_cast<VstWindow*>(kP1))); },
         audioMasterOpenWindow, 0, 0, kP1, 0.0f, 5, 0},
        {"closeWindow",
         [](Probe& p) { return VstIntPtr(p.closeWindow(static_cast<VstWindow*>(kP1))); },
         audioMasterCloseWindow, 0, 0, kP1, 0.0f, 1, 0},
        {"getDirectory", [](Probe& p) { return asInt(p.getDirectory()); }, audioMasterGetDirectory,
         0, 0, nullptr, 0.0f, 5, 0},
        {"updateDisplay", [](Probe& p) { return VstIntPtr(p.updateDisplay()); },
         audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f, 1, 0},
        {"beginEdit", [](Probe& p) { return VstIntPtr(p.beginEdit(8)); }, audioMasterBeginEdit,
         8, 0, nullptr, 0.0f, 1, 0},
        {"endEdit", [](Probe& p) { return VstIntPtr(p.endEdit(8)); }, audioMasterEndEdit, 8, 0,
         nullptr, 0.0f, 1, 0},
        {"openFileSelector",
         [](Probe& p) { return VstIntPtr(p.openFileSelector(static_cast<VstFileSelect*>(kP1))); },
         audioMasterOpenFileSelector, 0, 0, kP1, 0.0f, 1, 0},
    };
    return rows;
}

TEST(HostRequests, EachSendsOneRequestWithItsArgumentsInPlace) {
    HostRecorder& host = HostRecorder::instance();
    for (const Request& row : requests()) {
        host.reset(5);
        Probe probe(&HostRecorder::callback);
        const VstIntPtr result = row.call(probe);
        ASSERT_EQ(host.calls.size(), 1u) << row.name;
        const HostCall& call = host.calls[0];
        EXPECT_EQ(call.effect, probe.getAeffect()) << row.name;
        EXPECT_EQ(call.opcode, row.opcode) << row.name;
        EXPECT_EQ(call.index, row.index) << row.name;
        EXPECT_EQ(call.value, row.value) << row.name;
        EXPECT_EQ(call.ptr, row.ptr) << row.name;
        EXPECT_EQ(call.opt, row.opt) << row.name;
        EXPECT_EQ(result, row.resultWhenHostAnswers5) << row.name;
    }
}

TEST(HostRequests, WithoutAHostNothingIsCalledAndTheDefaultsAnswer) {
    HostRecorder& host = HostRecorder::instance();
    host.reset(5);
    for (const Request& row : requests()) {
        Probe probe(nullptr);
        EXPECT_EQ(row.call(probe), row.resultWithoutHost) << row.name;
    }
    EXPECT_TRUE(host.calls.empty());
}

TEST(HostRequests, AnswerConversions) {
    HostRecorder& host = HostRecorder::instance();
    Probe probe(&HostRecorder::callback);
    host.reset(0);
    EXPECT_EQ(probe.getMasterVersion(), 1); // 0 means "too old to say": taken as 1
    EXPECT_TRUE(probe.isInputConnected(0));
    EXPECT_TRUE(probe.isOutputConnected(0));
    EXPECT_FALSE(probe.ioChanged());
    host.reset(1);
    EXPECT_FALSE(probe.isInputConnected(0));
    EXPECT_FALSE(probe.isOutputConnected(0));
    host.reset(2400);
    EXPECT_EQ(probe.getMasterVersion(), 2400);
    host.reset(0);
    probe.offlineRead(nullptr, 1, false);
    EXPECT_EQ(host.calls.back().index, 0);
}

TEST(HostRequests, UpdateSampleRateReturnsWhatTheHostStoredWhileAnswering) {
    static Probe* target = nullptr;
    auto host = [](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) -> VstIntPtr {
        if (opcode == audioMasterGetSampleRate) {
            target->dispatcher(effSetSampleRate, 0, 0, nullptr, 88200.0f);
        } else if (opcode == audioMasterGetBlockSize) {
            target->dispatcher(effSetBlockSize, 0, 256, nullptr, 0.0f);
        }
        return 12345; // ignored
    };
    Probe probe(host);
    target = &probe;
    EXPECT_EQ(probe.updateSampleRate(), 88200.0f);
    EXPECT_EQ(probe.updateBlockSize(), 256);
}

TEST(HostRequests, OpenFileSelectorWithoutARecordSendsNothing) {
    HostRecorder& host = HostRecorder::instance();
    host.reset(1);
    Probe probe(&HostRecorder::callback);
    EXPECT_FALSE(probe.openFileSelector(nullptr));
    EXPECT_TRUE(host.calls.empty());
}

TEST(HostRequests, AutomationOnTheCompressorReachesTheHostButNotTheValue) {
    HostRecorder& host = HostRecorder::instance();
    host.reset(1);
    CompressorEffect effect(&HostRecorder::callback);
    effect.setParameterAutomated(6, 0.25f);
    ASSERT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(host.calls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(host.calls[0].index, 6);
    EXPECT_EQ(host.calls[0].value, 0);
    EXPECT_EQ(host.calls[0].ptr, nullptr);
    EXPECT_EQ(host.calls[0].opt, 0.25f);
    EXPECT_EQ(effect.core.parameter(Output), 0.63f);

    CompressorEffect hostless(nullptr);
    hostless.setParameterAutomated(6, 0.25f); // only the (inert) setParameter
    EXPECT_EQ(hostless.core.parameter(Output), 0.63f);
}

TEST(HostRequests, CapabilityVocabularies) {
    EXPECT_STREQ(kHostCapabilities[0], "sendVstEvents");
    EXPECT_STREQ(kHostCapabilities[15], "closeFileSelector");
    EXPECT_STREQ(kPluginCapabilities[7], "plugAsChannelInsert");
    EXPECT_STREQ(kPluginCapabilities[24], "conformsToWindowRules");
    std::set<std::string> unique(std::begin(kPluginCapabilities), std::end(kPluginCapabilities));
    EXPECT_EQ(unique.size(), 25u);
}

} // namespace
