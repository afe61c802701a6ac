#include "tools/render/PluginHost.h"

#include <dlfcn.h>

#include <algorithm>
#include <vector>

namespace {

using PluginEntry = AEffect* (*)(audioMasterCallback);

// The host side of the conversation: the plug-in asks only for the host's version.
VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

} // namespace

PluginHost::~PluginHost() {
    if (record != nullptr) {
        record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    }
    if (module != nullptr) {
        dlclose(module);
    }
}

bool PluginHost::load(const std::string& path, std::string& error) {
    module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        error = dlerror();
        return false;
    }
    void* symbol = dlsym(module, "VSTPluginMain");
    if (symbol == nullptr) {
        symbol = dlsym(module, "main");
    }
    if (symbol == nullptr) {
        error = path + ": exports neither VSTPluginMain nor main";
        return false;
    }
    record = reinterpret_cast<PluginEntry>(symbol)(&hostCallback);
    if (record == nullptr) {
        error = path + ": the plug-in returned no effect";
        return false;
    }
    if (record->magic != kEffectMagic || record->processReplacing == nullptr ||
        (record->flags & effFlagsCanReplacing) == 0) {
        error = path + ": not a VST 2 effect with processReplacing";
        record = nullptr; // not ours to close
        return false;
    }
    record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f);
    return true;
}

void PluginHost::render(StereoAudio& audio, int blockSize, void (*afterBlock)(AEffect*, void*),
                        void* context) {
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr,
                       static_cast<float>(audio.sampleRate));
    record->dispatcher(record, effSetBlockSize, 0, blockSize, nullptr, 0.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);

    // Host-owned buffers, as a host would keep them: separate inputs and outputs.
    std::vector<float> inLeft(blockSize), inRight(blockSize), outLeft(blockSize),
        outRight(blockSize);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};

    const std::size_t total = audio.frames();
    for (std::size_t start = 0; start < total; start += static_cast<std::size_t>(blockSize)) {
        const std::size_t frames = std::min(total - start, static_cast<std::size_t>(blockSize));
        std::copy_n(audio.left.begin() + start, frames, inLeft.begin());
        std::copy_n(audio.right.begin() + start, frames, inRight.begin());
        record->processReplacing(record, inputs, outputs, static_cast<VstInt32>(frames));
        std::copy_n(outLeft.begin(), frames, audio.left.begin() + start);
        std::copy_n(outRight.begin(), frames, audio.right.begin() + start);
        if (afterBlock != nullptr) {
            afterBlock(record, context);
        }
    }

    record->dispatcher(record, effMainsChanged, 0, 0, nullptr, 0.0f);
}
