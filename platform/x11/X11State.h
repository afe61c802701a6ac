// The X11 window system behind the Win32 object model (platform/winapi/): each editor window is
// an XCB child window of the host's window, on a connection of its own, drawn through its Cairo
// XCB surface. The host's window arrives as the parent HWND, its X window id as the value.
#pragma once

#include <xcb/xcb.h>

#include "platform/winapi/WinApiState.h"

namespace x11 {

struct X11Window : winapi::NativeWindow {
    ~X11Window() override; // gives back the Cairo surface, the cursors and the connection

    xcb_connection_t* connection = nullptr;
    xcb_window_t id = 0;
    bool serverGone = false; // the X window no longer exists (its parent was destroyed)
    xcb_timestamp_t lastTime = XCB_CURRENT_TIME; // of the last pointer event, for the grab
    xcb_font_t cursorFont = 0; // the server's "cursor" font, opened for the first cursor
    xcb_cursor_t arrowCursor = 0;
    xcb_cursor_t handCursor = 0;
    xcb_cursor_t shownCursor = 0; // the window's cursor attribute right now
};

inline X11Window& native(winapi::Window& window) {
    return static_cast<X11Window&>(*window.native);
}

// Reaps the link openers that have finished, without waiting (X11Shell.cpp).
void reapOpeners();
// Starts the desktop's opener for `file`: ShellExecuteA's answer (X11Shell.cpp).
ULONG_PTR startOpener(LPCSTR file);

} // namespace x11
