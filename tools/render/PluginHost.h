// A minimal VST 2 host: loads a plug-in shared object the way a host does and runs audio
// through its processReplacing entry in host-sized blocks.
#pragma once

#include <string>

#include "host/Vst2Interface.h"
#include "tools/render/WavFile.h"

class PluginHost {
public:
    PluginHost() = default;
    ~PluginHost(); // closes the effect and unloads the module
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // dlopen, then VSTPluginMain (or main) with this host's callback; checks the magic and
    // sends effOpen. False with `error` set when any of this fails.
    bool load(const std::string& path, std::string& error);

    // Sets rate and block size, switches the plug-in on, processes the audio in place in
    // blocks of `blockSize` frames and switches it off again. `afterBlock` (may be null) is
    // called after every block.
    void render(StereoAudio& audio, int blockSize, void (*afterBlock)(AEffect*, void*) = nullptr,
                void* context = nullptr);

    AEffect* effect() const { return record; }

private:
    void* module = nullptr;
    AEffect* record = nullptr;
};
