// The project's Win32 declarations: the shell call the plug-in uses (SHELL32).
#pragma once

#include <windows.h>

HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand);
