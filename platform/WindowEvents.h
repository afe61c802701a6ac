// What a host's message loop does for a child window on Windows, and what the window system
// behind the Win32 calls does elsewhere. Called on the user-interface thread only.
#pragma once

#include <windows.h>

#ifdef _WIN32

// The host's message loop delivers every message: nothing to do here.
inline void dispatchWindowEvents(HWND) {}
// effEditOpen answers 1 whatever became of the window, as it always has on Windows.
inline bool reportEditorOpened(HWND) {
    return true;
}

#else

// Reads the window system's pending events for `window`, delivers them to its window procedure
// as the messages Windows would send (mouse, capture changes, destruction), and delivers
// WM_PAINT when the window needs painting. `window` may be null or already gone.
void dispatchWindowEvents(HWND window);
// What effEditOpen answers once the editor tried to create `window`: the X11 layer answers false
// when there is no window to show (no display, no usable parent); the offscreen system answers as
// Windows.
bool reportEditorOpened(HWND window);

#endif
