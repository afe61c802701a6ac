#include "platform/ModuleHandle.h"

#ifdef _WIN32

namespace {
HINSTANCE gModuleHandle = nullptr;
} // namespace

HINSTANCE moduleHandle() {
    return gModuleHandle;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD /*reason*/, LPVOID /*reserved*/) {
    // Stored on every call, whatever the reason: it is always the same handle.
    gModuleHandle = instance;
    return TRUE;
}

#else

namespace {
// No loader hands out module handles here: a distinct, non-null address of this library
// stands for it.
char moduleToken;
} // namespace

HINSTANCE moduleHandle() {
    return reinterpret_cast<HINSTANCE>(&moduleToken);
}

#endif
