// The stand-in's module handle for this library: on Linux no loader calls DllMain, so the
// host layer attaches itself with this handle when the library is loaded.
#pragma once
#include <windows.h>
HINSTANCE standInModuleInstance();
