// The library's module instance handle, shared by every instance in the process.
#pragma once

#include <windows.h>

// Written by DllMain (on Windows by the loader; elsewhere once when the library is loaded).
HINSTANCE moduleHandle();

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
