// The offscreen window system of the tests, the snapshot tool and the fuzzers: the Win32 object
// model (platform/winapi/) with windows that are image surfaces and no event source, messages
// delivered at once. This is its view for them: deliver messages, pump paints, read pixels, and
// see what was registered, created, selected, drawn, captured and opened, and every misuse of
// the calls. Nothing in the plug-in includes this header; no shipped module links it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/winapi/WinApiState.h"

namespace offscreen {

// Pixels are 0x00RRGGBB, one 32-bit word each, rows top to bottom.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// A COLORREF (0x00BBGGRR) as a pixel (0x00RRGGBB).
constexpr std::uint32_t pixelOf(COLORREF colour) {
    return ((colour & 0xFFu) << 16) | (colour & 0xFF00u) | ((colour >> 16) & 0xFFu);
}

// ---- Objects alive right now (stock objects are not counted).
struct LiveObjects {
    int windows = 0;
    int deviceContexts = 0;
    int bitmaps = 0;
    int brushes = 0;
    int fonts = 0;

    bool operator==(const LiveObjects& other) const {
        return windows == other.windows && deviceContexts == other.deviceContexts &&
               bitmaps == other.bitmaps && brushes == other.brushes && fonts == other.fonts;
    }
};
LiveObjects liveObjects();

// ---- Windows.
// The window's record (invalidations counted since the last clearRecords).
struct WindowInfo : winapi::WindowRecord {
    bool exists = false;
    int paints = 0; // WM_PAINT deliveries by pumpPaint since the last clearRecords
};
WindowInfo windowInfo(HWND window);

// A top-level window standing for the host's window: the parent given to effEditOpen.
HWND createHostWindow(int width, int height);
// Live windows of a class, in creation order.
std::vector<HWND> windowsOfClass(const char* className);

// Delivers a message straight to the window procedure, as SendMessage does.
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Delivers a mouse message with x and y packed into lParam as 16-bit words, as Win32 does:
// a negative coordinate arrives as 65536 + coordinate.
LRESULT sendMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);
// If the window has an update region, delivers WM_PAINT and returns true.
bool pumpPaint(HWND window);
// Forgets the update region without painting.
void validate(HWND window);
Image windowImage(HWND window);
void fillWindow(HWND window, std::uint32_t pixel);

// ---- Window classes.
// The class as registered (WNDCLASSA's fields; name as given to RegisterClassA).
struct ClassInfo : winapi::WindowClass {
    bool registered = false;
};
ClassInfo classInfo(const char* className, HINSTANCE instance);

struct ClassCalls {
    int registerCalls = 0;
    int registerFailures = 0;
    int unregisterCalls = 0;
    int unregisterFailures = 0;
};
ClassCalls classCalls(const char* className);

// ---- GDI objects.
struct BitmapInfo {
    bool exists = false;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0; // always 32: a bitmap compatible with a fresh memory DC is a misuse
    HDC selectedInto = nullptr;
};
BitmapInfo bitmapInfo(HBITMAP bitmap);
Image bitmapImage(HBITMAP bitmap);

// CreateFontA's arguments, as asked.
struct FontInfo : winapi::FontRequest {
    bool exists = false;
};
FontInfo fontInfo(HFONT font);

// Number of live device contexts the object is selected into right now.
int selectionCount(HGDIOBJ object);
// Live device contexts with anything but their initial stock objects selected.
int dcsWithSelections();

// Decodes .bmp file bytes into a new bitmap, as LoadBitmapA does for a resource; null when the
// bytes are not a bitmap the reader takes (uncompressed 8, 24 or 32 bits per pixel).
HBITMAP loadBitmapFromFile(const std::uint8_t* data, std::size_t size);

// ---- What was drawn. `targetBitmap` is the bitmap selected into a memory DC at the time,
// `targetWindow` the window of a paint DC; the other one is null.
struct TextRecord {
    std::string text;
    int x = 0;
    int y = 0;
    COLORREF colour = 0;
    int bkMode = 0;
    HFONT font = nullptr;
    HBITMAP targetBitmap = nullptr;
    HWND targetWindow = nullptr;
};
const std::vector<TextRecord>& textRecords();

struct BlitRecord {
    HBITMAP targetBitmap = nullptr;
    HWND targetWindow = nullptr;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HBITMAP sourceBitmap = nullptr;
    HWND sourceWindow = nullptr;
    int sourceX = 0;
    int sourceY = 0;
    DWORD rop = 0;
};
const std::vector<BlitRecord>& blitRecords();

struct FillRecord {
    HBITMAP targetBitmap = nullptr;
    HWND targetWindow = nullptr;
    RECT rect{};
    COLORREF colour = 0;
};
const std::vector<FillRecord>& fillRecords();

// ---- Capture, cursors, shell.
HWND captureWindow();
// The system cursor id (32512 arrow, 32649 hand) of a cursor handle, 0 if it is none.
int cursorId(HCURSOR cursor);
// The system cursor ids passed to SetCursor, in order (0 for a null cursor).
const std::vector<int>& cursorsSet();
int currentCursorId();

struct ShellCall {
    HWND owner = nullptr;
    std::optional<std::string> operation;
    std::optional<std::string> file;
    std::optional<std::string> parameters;
    std::optional<std::string> directory;
    INT showCommand = 0;
};
const std::vector<ShellCall>& shellCalls();

// ---- Misuse noticed: calls with unknown handles, objects deleted while
// selected, device contexts deleted with objects still selected, failed class calls, ...
const std::vector<std::string>& diagnostics();

// Empties every record above and the per-window and per-class counters; live objects stay.
void clearRecords();

} // namespace offscreen
