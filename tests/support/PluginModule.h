// Loads a plug-in shared object the way a host does: dlopen, the exported VSTPluginMain (or
// main) called with the host's callback, the record's magic checked. The one module loader of
// the tools and tests.
#pragma once

#include <string>

#include "host/Vst2Interface.h"

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule(); // unloads the module; close the effect (effClose) before
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // Loads the module and finds its entry; false with `error` set when the module does not
    // load or exports no entry.
    bool open(const std::string& path, std::string& error);
    // A new instance from the entry: its effect record, or null with `error` set when the entry
    // gives no record or one without the VST 2 magic.
    AEffect* newInstance(audioMasterCallback callback, std::string& error) const;
    // open, then the first instance.
    AEffect* load(const std::string& path, audioMasterCallback callback, std::string& error);

private:
    using EntryFunction = AEffect* (*)(audioMasterCallback);
    void* library = nullptr;
    EntryFunction entry = nullptr;
    std::string modulePath;
};
