#include "host/ModuleHandle.h"

#ifndef _WIN32
#include "platform/include/StandInModule.h"
#endif

namespace {
HINSTANCE gModuleHandle = nullptr;
} // namespace

HINSTANCE moduleHandle() { return gModuleHandle; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    // Stored on every call, whatever the reason: it is always the same handle.
    gModuleHandle = instance;
    return TRUE;
}

#ifndef _WIN32
namespace {
// No loader calls DllMain here: attach once, at load, with the stand-in's handle.
struct AttachAtLoad {
    AttachAtLoad() { DllMain(standInModuleInstance(), DLL_PROCESS_ATTACH, nullptr); }
} attachAtLoad;
} // namespace
#endif
