// A host callback that records every call, for tests that check what the plug-in asks.
#pragma once

#include <vector>

#include "host/Vst2Interface.h"
#include "tests/support/TestHost.h"

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

class HostRecorder {
public:
    // The one recorder the callback below writes to; reset() starts a new recording.
    static HostRecorder& instance();

    static VstIntPtr VST_CALLBACK callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt);

    void reset(VstIntPtr answer = test_host::kVersion) {
        calls.clear();
        defaultAnswer = answer;
    }

    std::vector<HostCall> calls;
    VstIntPtr defaultAnswer = test_host::kVersion;
};
