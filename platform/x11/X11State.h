// The X11 backend's process-wide state: the editor windows (each an XCB child window of the
// host's window, on a connection of its own), the device contexts and GDI objects (Cairo image
// surfaces, brushes, fonts), the registered classes, the capture and the cursor.
//
// As on Windows, GDI objects may be made and deleted on any thread (hosts make instances, and
// with them the editor's bitmaps and font, wherever they like): every call holds the state's
// lock, which the same thread may take again (a message delivered inside a call calls back in).
// Windows and their events stay on the user-interface thread.
#pragma once

#include <windows.h>

#include <cairo.h>
#include <xcb/xcb.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace x11 {

struct WindowClass {
    std::string name; // compared without regard to case, as Win32 does
    HINSTANCE instance = nullptr;
    WNDPROC windowProc = nullptr;
};

struct Window {
    ~Window(); // gives back the Cairo surface, the cursors and the connection

    xcb_connection_t* connection = nullptr;
    xcb_window_t id = 0;
    cairo_surface_t* surface = nullptr; // the window itself, for the paint DC
    std::string className;
    HINSTANCE instance = nullptr;
    WNDPROC windowProc = nullptr;
    LONG_PTR userData = 0;
    int width = 0;
    int height = 0;
    bool invalid = false;    // needs WM_PAINT
    bool destroying = false; // between WM_DESTROY and the end of DestroyWindow
    bool serverGone = false; // the X window no longer exists (its parent was destroyed)
    xcb_timestamp_t lastTime = XCB_CURRENT_TIME; // of the last pointer event, for the grab
    xcb_font_t cursorFont = 0; // the server's "cursor" font, opened for the first cursor
    xcb_cursor_t arrowCursor = 0;
    xcb_cursor_t handCursor = 0;
    xcb_cursor_t shownCursor = 0; // the window's cursor attribute right now
};

enum class ObjectKind { Bitmap, Brush, Font };

struct GdiObject {
    ~GdiObject();

    ObjectKind kind = ObjectKind::Bitmap;
    bool stock = false;
    cairo_surface_t* image = nullptr;  // Bitmap: RGB24 image surface
    HDC selectedInto = nullptr;        // Bitmap: the memory DC holding it
    COLORREF colour = 0;               // Brush
    cairo_font_face_t* face = nullptr; // Font
    double size = 0.0;                 // Font: Cairo size giving the requested cell height
    double ascent = 0.0;               // Font: baseline below the cell's top at that size
};

struct DeviceContext {
    bool memory = true;
    HWND window = nullptr; // paint DCs
    HGDIOBJ bitmap = nullptr;
    HGDIOBJ font = nullptr;
    HGDIOBJ brush = nullptr;
    int bkMode = OPAQUE;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF bkColour = RGB(255, 255, 255);
};

struct State {
    std::uintptr_t nextHandle = 0x10000;
    std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
    std::map<std::uintptr_t, DeviceContext> dcs;
    std::map<std::uintptr_t, std::unique_ptr<GdiObject>> objects;
    std::vector<WindowClass> classes;
    HGDIOBJ stockBitmap = nullptr;
    HGDIOBJ stockFont = nullptr;
    HGDIOBJ stockBrush = nullptr;
    HWND capture = nullptr;
    HCURSOR cursor = nullptr;
    HWND eventWindow = nullptr; // the window whose events are being delivered
};

State& state();

// Held by every call into the backend for its whole length.
class StateLock {
public:
    StateLock();
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
};
std::uintptr_t newHandle();
// Reaps the link openers that have finished, without waiting (X11Shell.cpp).
void reapOpeners();

Window* findWindow(HWND window);
DeviceContext* findDc(HDC dc);
GdiObject* findObject(HGDIOBJ object, ObjectKind kind);
GdiObject* findObject(HGDIOBJ object);
HGDIOBJ addObject(std::unique_ptr<GdiObject> object);

// Calls the window procedure; 0 when the window does not exist.
LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The Win32 destruction of a window: capture given up, WM_DESTROY, the X window destroyed
// (unless the server already did), WM_NCDESTROY, everything given back.
void destroyWindow(HWND window);

// Shows the cursor of LoadCursorA id `id` (0: none set) in `window`.
void showCursor(Window& window, int id);

// The paint DC of a window, released by EndPaint.
HDC createPaintDc(HWND window);
void releaseDc(HDC dc);

// A Cairo context drawing on what `dc` draws on; null when it draws on nothing. The caller
// destroys it.
cairo_t* drawingContext(const DeviceContext& dc);

} // namespace x11
