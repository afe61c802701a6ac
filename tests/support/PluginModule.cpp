#include "tests/support/PluginModule.h"

#include <dlfcn.h>

VstIntPtr VST_CALLBACK versionOnlyHostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr,
                                               void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

PluginModule::~PluginModule() {
    if (library != nullptr) {
        dlclose(library);
    }
}

AEffect* PluginModule::load(const std::string& path, audioMasterCallback callback,
                            std::string& error) {
    if (library != nullptr) {
        error = "a module is already loaded";
        return nullptr;
    }
    library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error = "cannot load " + path + ": " + dlerror();
        return nullptr;
    }
    using EntryFunction = AEffect* (*)(audioMasterCallback);
    void* symbol = dlsym(library, "VSTPluginMain");
    if (symbol == nullptr) {
        symbol = dlsym(library, "main");
    }
    if (symbol == nullptr) {
        error = path + " exports neither VSTPluginMain nor main";
        return nullptr;
    }
    AEffect* record = reinterpret_cast<EntryFunction>(symbol)(callback);
    if (record == nullptr || record->magic != kEffectMagic) {
        error = path + ": the entry gave no effect record";
        return nullptr; // nothing of ours to close
    }
    return record;
}
