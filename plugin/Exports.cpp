// The module's exports. The 32-bit DLL exports only `main` (pinned by its module-definition
// file, which maps it to VSTPluginMain); the 64-bit DLL and the Linux shared object export
// both names.
#include "plugin/PluginEntry.h"

#if defined(_WIN32)
extern "C" AEffect* VST_CALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
    return pluginMain(hostCallback);
}
#else
#define QUORVEL_EXPORT __attribute__((visibility("default")))

extern "C" QUORVEL_EXPORT AEffect* VSTPluginMain(audioMasterCallback hostCallback) {
    return pluginMain(hostCallback);
}

// A C++ function may not be called `main` unless it is the program's entry, so the second
// export gets its symbol name from the assembler.
extern "C" QUORVEL_EXPORT AEffect* vstMainExport(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* vstMainExport(audioMasterCallback hostCallback) {
    return pluginMain(hostCallback);
}
#endif
