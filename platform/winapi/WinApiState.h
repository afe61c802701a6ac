// The Win32 object model outside Windows, written once for every window system: the registered
// classes, the windows with their messages, update regions, capture and cursor, the device
// contexts and GDI objects (Cairo image surfaces, brushes, fonts). What a window is on screen
// comes from the window system linked with it (WindowSystem below): XCB child windows in the
// Linux module, image surfaces in the tests and tools.
//
// As on Windows, GDI objects may be made and deleted on any thread (hosts make instances, and
// with them the editor's bitmaps and font, wherever they like): every call holds the state's
// lock, which the same thread may take again (a message delivered inside a call calls back in).
// Windows and their events stay on the user-interface thread.
#pragma once

#include <windows.h>

#include <cairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct DecodedBitmap;

namespace winapi {

struct WindowClass {
    std::string name; // compared without regard to case, as Win32 does
    UINT style = 0;
    WNDPROC windowProc = nullptr;
    int classExtra = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    bool hasMenuName = false;
};

// What the window system keeps for a window; given back when the window record goes.
class NativeWindow {
public:
    virtual ~NativeWindow() = default; // the window system's own gives back the surface

    cairo_surface_t* surface = nullptr; // the window's pixels, for its paint DCs
};

// A window as created and as it stands.
struct WindowRecord {
    std::string className;
    std::string title;
    HINSTANCE instance = nullptr;
    WNDPROC windowProc = nullptr;
    HBRUSH background = nullptr;
    HWND parent = nullptr; // a window of this state, or null (the host's window elsewhere)
    HMENU menu = nullptr;
    LPVOID createParam = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    LONG_PTR userData = 0;
    bool invalid = false;      // has an update region: needs WM_PAINT
    bool erasePending = false; // the next BeginPaint sends WM_ERASEBKGND
    RECT updateRect{};         // bounding box of the update region
    int invalidations = 0;     // successful InvalidateRect calls, for the tests' records
};

struct Window : WindowRecord {
    cairo_surface_t* surface() const { return native != nullptr ? native->surface : nullptr; }

    std::unique_ptr<NativeWindow> native;
    bool destroying = false; // between WM_DESTROY and the end of DestroyWindow
};

enum class ObjectKind { Bitmap, Brush, Font };

// The arguments of CreateFontA, as asked.
struct FontRequest {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;
    DWORD italic = 0;
    DWORD underline = 0;
    DWORD strikeOut = 0;
    DWORD charSet = 0;
    DWORD outPrecision = 0;
    DWORD clipPrecision = 0;
    DWORD quality = 0;
    DWORD pitchAndFamily = 0;
    std::string faceName;
};

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
    FontRequest request;               // Font
};

struct DeviceContext {
    bool memory = true;
    HWND window = nullptr; // paint DCs: the window drawn on, only inside `clip`
    RECT clip{};
    HGDIOBJ bitmap = nullptr;
    HGDIOBJ font = nullptr;
    HGDIOBJ brush = nullptr;
    int bkMode = OPAQUE;
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF bkColour = RGB(255, 255, 255);
};

// Told of every call that draws, opens or fails, for the tests' records and diagnostics. The
// shipped module installs none: each report is one test of a null pointer.
class Observer {
public:
    virtual ~Observer() = default;
    // A misuse of the calls: an unknown handle, an object deleted while selected, ...
    virtual void misuse(const char* function, const std::string& what) = 0;
    virtual void classCall(const char* className, bool registering, bool failed) = 0;
    virtual void text(HDC dc, const DeviceContext& record, int x, int y, const char* text,
                      int length) = 0;
    virtual void blit(const DeviceContext& target, int x, int y, int width, int height,
                      const DeviceContext& source, int sourceX, int sourceY, DWORD rop) = 0;
    virtual void fill(const DeviceContext& target, const RECT& rect, COLORREF colour) = 0;
    virtual void shell(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                       LPCSTR directory, INT showCommand) = 0;
    virtual void cursorSet(HCURSOR cursor) = 0;
};

// What the windows are on screen. One implementation is linked with the object model.
class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // The records and diagnostics observer of this system; null for the shipped one.
    virtual Observer* observer() = 0;
    // Makes what `window` (its size and style set) is on screen, as a child of `parent` at
    // (x, y): sets window.native (with its surface) and window.parent. False when it cannot be
    // made.
    virtual bool create(Window& window, HWND parent, int x, int y) = 0;
    // After WM_CREATE: shows the window when `visible`, and sends what is pending.
    virtual void created(Window& window, bool visible) = 0;
    // Takes the window off the screen (between WM_DESTROY and WM_NCDESTROY).
    virtual void destroy(Window& window) = 0;
    // After every DestroyWindow.
    virtual void destroyed() = 0;
    // A paint ended: its pixels go to the screen.
    virtual void painted(Window& window) = 0;
    // `window` took the capture; `previous` (another window) held it.
    virtual void captureTaken(Window& window, Window* previous) = 0;
    virtual void captureReleased(Window& window) = 0;
    // The cursor of LoadCursorA id `id` (0: none) is set while `window`'s events are handled.
    virtual void showCursor(Window& window, int id) = 0;
    // ShellExecuteA's "open" of `file`: its answer, above 32 for success.
    virtual ULONG_PTR open(LPCSTR file) = 0;
};

// The linked window system.
WindowSystem& windowSystem();

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
    WindowSystem* system = nullptr;
    Observer* observer = nullptr;
};

State& state();

// Held by every call into the object model for its whole length.
class StateLock {
public:
    StateLock();
    ~StateLock();
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;
};

std::uintptr_t newHandle();

Window* findWindow(HWND window);
DeviceContext* findDc(HDC dc);
GdiObject* findObject(HGDIOBJ object, ObjectKind kind);
GdiObject* findObject(HGDIOBJ object);
HGDIOBJ addObject(std::unique_ptr<GdiObject> object);
// A bitmap with the decoded pixels; null when no image surface could be made.
HBITMAP addBitmap(const DecodedBitmap& decoded);
// Adds a window made outside CreateWindowExA (the tests' host window).
HWND addWindow(std::unique_ptr<Window> window);

// Notes a misuse for the observer, if there is one.
void misuse(const char* function, const char* what);
void misuse(const char* function, const char* what, const char* name);

// Calls the window procedure; 0 when the window does not exist.
LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The Win32 destruction of a window: capture given up, WM_DESTROY, its child windows
// destroyed, the window taken off the screen, WM_NCDESTROY, everything given back.
void destroyWindow(HWND window);

// The paint DC of a window, drawing only inside `clip`; released by EndPaint.
HDC createPaintDc(HWND window, const RECT& clip);
void releaseDc(HDC dc, const char* function);

// A Cairo context drawing on what `dc` draws on, clipped as the DC is; null when it draws on
// nothing. The caller destroys it.
cairo_t* drawingContext(const DeviceContext& dc);

// The system cursor id of a cursor handle (32512 arrow, 32649 hand), 0 for any other.
int cursorId(HCURSOR cursor);

} // namespace winapi
