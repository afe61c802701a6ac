// The stand-in's process-wide state: every window, device context and GDI object by handle,
// the registered classes, capture and cursor, and the records tests read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/include/StandInTest.h"

namespace standin::detail {

struct ClassRecord {
    std::string name;
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

struct Window {
    std::string className;
    std::string title;
    WNDPROC windowProc = nullptr;
    HBRUSH background = nullptr;
    HINSTANCE instance = nullptr;
    HWND parent = nullptr;
    HMENU menu = nullptr;
    LPVOID createParam = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    LONG_PTR userData = 0;
    bool invalid = false;
    bool erasePending = false;
    RECT updateRect{};
    int invalidations = 0;
    int paints = 0;
    std::vector<std::uint32_t> pixels; // the window's picture, 0x00RRGGBB
};

enum class ObjectKind { Bitmap, Brush, Font };

struct GdiObject {
    ObjectKind kind = ObjectKind::Bitmap;
    bool stock = false;
    // Bitmap.
    int width = 0;
    int height = 0;
    int bitsPerPixel = 32; // 1: every pixel is 0x000000 or 0xFFFFFF
    std::vector<std::uint32_t> pixels;
    HDC selectedInto = nullptr;
    // Brush.
    COLORREF colour = 0;
    // Font.
    test::FontInfo font;
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

struct State {
    State();

    std::uintptr_t nextHandle = 0x10000;
    std::map<std::uintptr_t, Window> windows;
    std::map<std::uintptr_t, DeviceContext> dcs;
    std::map<std::uintptr_t, GdiObject> objects;
    std::vector<ClassRecord> classes;
    std::map<std::string, test::ClassCalls> classCalls; // by lower-case class name

    HGDIOBJ stockBitmap = nullptr; // 1 x 1 monochrome, selected into every new memory DC
    HGDIOBJ stockFont = nullptr;
    HGDIOBJ stockBrush = nullptr;

    HWND capture = nullptr;
    HCURSOR cursor = nullptr;
    std::map<int, std::uintptr_t> systemCursors; // id -> handle value
    std::vector<int> cursorsSet;

    std::vector<test::TextRecord> texts;
    std::vector<test::BlitRecord> blits;
    std::vector<test::FillRecord> fills;
    std::vector<test::ShellCall> shellCalls;
    std::vector<std::string> diagnostics;
};

State& state();

// A fresh handle value: never zero, never reused.
std::uintptr_t newHandle();

template <typename Handle> std::uintptr_t handleValue(Handle handle) {
    return reinterpret_cast<std::uintptr_t>(handle);
}

// Lookups answer null for unknown handles (and for handles of another kind).
Window* findWindow(HWND window);
DeviceContext* findDc(HDC dc);
GdiObject* findObject(HGDIOBJ object);
GdiObject* findObject(HGDIOBJ object, ObjectKind kind);

// Notes a misuse for the tests to see.
void diagnose(const char* function, const std::string& what);

// Calls the window procedure; 0 for an unknown window.
LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// GDI pieces shared by the USER32 half.
HDC createPaintDc(HWND window, const RECT& clip);
void releaseDc(HDC dc, const char* function);
std::uintptr_t addBitmap(int width, int height, int bitsPerPixel,
                         std::vector<std::uint32_t> pixels);

// Decodes .bmp file bytes; 0 when they are not a bitmap the stand-in reads.
std::uintptr_t decodeBitmapFile(const std::uint8_t* data, std::size_t size);

// The built-in font: draws one character's glyph with its cell's top-left corner at (x, y),
// calling plot(px, py) for each lit pixel.
template <typename Plot> void drawGlyph(char character, int x, int y, Plot plot);
const std::uint8_t* glyphRows(char character); // 9 rows of 5 bits, most significant bit left
constexpr int kGlyphRows = 9;
constexpr int kGlyphColumns = 5;
constexpr int kGlyphTop = 1; // first glyph row inside the cell

template <typename Plot> void drawGlyph(char character, int x, int y, Plot plot) {
    const std::uint8_t* rows = glyphRows(character);
    for (int row = 0; row < kGlyphRows; ++row) {
        for (int column = 0; column < kGlyphColumns; ++column) {
            if (rows[row] & (0x10 >> column)) {
                plot(x + column, y + kGlyphTop + row);
            }
        }
    }
}

std::string lowerCase(const char* text);
RECT intersect(const RECT& a, const RECT& b);
bool isEmpty(const RECT& r);

} // namespace standin::detail
