#include "tests/support/PluginModule.h"

#include <dlfcn.h>

PluginModule::~PluginModule() {
    if (library != nullptr) {
        dlclose(library);
    }
}

bool PluginModule::open(const std::string& path, std::string& error) {
    if (library != nullptr) {
        error = "a module is already loaded";
        return false;
    }
    library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error = "cannot load " + path + ": " + dlerror();
        return false;
    }
    void* symbol = dlsym(library, "VSTPluginMain");
    if (symbol == nullptr) {
        symbol = dlsym(library, "main");
    }
    if (symbol == nullptr) {
        error = path + " exports neither VSTPluginMain nor main";
        return false;
    }
    entry = reinterpret_cast<EntryFunction>(symbol);
    modulePath = path;
    return true;
}

AEffect* PluginModule::newInstance(audioMasterCallback callback, std::string& error) const {
    if (entry == nullptr) {
        error = "no module is loaded";
        return nullptr;
    }
    AEffect* record = entry(callback);
    if (record == nullptr || record->magic != kEffectMagic) {
        error = modulePath + ": the entry gave no effect record";
        return nullptr; // nothing of ours to close
    }
    return record;
}

AEffect* PluginModule::load(const std::string& path, audioMasterCallback callback,
                            std::string& error) {
    return open(path, error) ? newInstance(callback, error) : nullptr;
}
