// What the test hosts, tools and benchmarks that play a minimal host share: the version they
// answer, a host callback that answers only that, the dispatcher call with a host's usual
// arguments and the start-up a host makes after loading. Header-only, so the Windows test
// hosts of the cross builds, which link no native library, use it too.
#pragma once

#include "host/Vst2Interface.h"

namespace test_host {

// The version a host of the interface gives: 2.4.
constexpr VstIntPtr kVersion = 2400;

// A minimal host's answer: `version` to audioMasterVersion, 0 to everything else.
constexpr VstIntPtr versionOnlyAnswer(VstInt32 opcode, VstIntPtr version = kVersion) {
    return opcode == audioMasterVersion ? version : 0;
}

inline VstIntPtr VST_CALLBACK versionOnlyCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr,
                                                  void*, float) {
    return versionOnlyAnswer(opcode);
}

inline VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// What a host does after loading: open, sample rate, block size, resume.
inline void startUp(AEffect* effect, float sampleRate = 44100.0f, VstInt32 blockSize = 512) {
    dispatch(effect, effOpen);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effect, effSetBlockSize, 0, blockSize);
    dispatch(effect, effMainsChanged, 0, 1);
}

} // namespace test_host
