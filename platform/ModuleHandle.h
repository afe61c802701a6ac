// The library's module instance handle, shared by every instance in the process: window
// classes and bitmap resources belong to it.
#pragma once

#include <windows.h>

// On Windows written by DllMain (the loader calls it); elsewhere a fixed token of this library.
HINSTANCE moduleHandle();

#ifdef _WIN32
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
#endif
