// The test-only view into the stand-in.
#include "platform/include/StandInTest.h"

#include <algorithm>

#include "platform/standin/StandInState.h"

using namespace standin::detail;

namespace standin::test {

LiveObjects liveObjects() {
    const State& s = state();
    LiveObjects live;
    live.windows = static_cast<int>(s.windows.size());
    live.deviceContexts = static_cast<int>(s.dcs.size());
    for (const auto& entry : s.objects) {
        if (entry.second.stock) {
            continue;
        }
        switch (entry.second.kind) {
        case ObjectKind::Bitmap:
            ++live.bitmaps;
            break;
        case ObjectKind::Brush:
            ++live.brushes;
            break;
        case ObjectKind::Font:
            ++live.fonts;
            break;
        }
    }
    return live;
}

// ---- Windows.

WindowInfo windowInfo(HWND window) {
    WindowInfo info;
    const Window* record = findWindow(window);
    if (record == nullptr) {
        return info;
    }
    info.exists = true;
    info.className = record->className;
    info.title = record->title;
    info.instance = record->instance;
    info.parent = record->parent;
    info.style = record->style;
    info.exStyle = record->exStyle;
    info.x = record->x;
    info.y = record->y;
    info.width = record->width;
    info.height = record->height;
    info.menu = record->menu;
    info.createParam = record->createParam;
    info.userData = record->userData;
    info.invalid = record->invalid;
    info.erasePending = record->erasePending;
    info.updateRect = record->updateRect;
    info.invalidations = record->invalidations;
    info.paints = record->paints;
    return info;
}

HWND createHostWindow(int width, int height) {
    Window window;
    window.className = "StandInHostWindow";
    window.title = "Host";
    window.windowProc = DefWindowProcA;
    window.style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    window.width = width;
    window.height = height;
    window.pixels.assign(static_cast<std::size_t>(width) * height, 0u);
    const std::uintptr_t handle = newHandle();
    state().windows.emplace(handle, std::move(window));
    return reinterpret_cast<HWND>(handle);
}

std::vector<HWND> windowsOfClass(const char* className) {
    std::vector<HWND> result;
    const std::string key = lowerCase(className);
    for (const auto& entry : state().windows) { // handles grow with creation order
        if (lowerCase(entry.second.className.c_str()) == key) {
            result.push_back(reinterpret_cast<HWND>(entry.first));
        }
    }
    return result;
}

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (findWindow(window) == nullptr) {
        diagnose("sendMessage", "unknown window");
        return 0;
    }
    return deliver(window, message, wParam, lParam);
}

LRESULT sendMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
    return sendMessage(window, message, keys, MAKELPARAM(x, y));
}

bool pumpPaint(HWND window) {
    Window* record = findWindow(window);
    if (record == nullptr || !record->invalid) {
        return false;
    }
    ++record->paints;
    deliver(window, WM_PAINT, 0, 0);
    return true;
}

void validate(HWND window) {
    if (Window* record = findWindow(window)) {
        record->invalid = false;
        record->erasePending = false;
        record->updateRect = RECT{0, 0, 0, 0};
    }
}

Image windowImage(HWND window) {
    Image image;
    if (const Window* record = findWindow(window)) {
        image.width = record->width;
        image.height = record->height;
        image.pixels = record->pixels;
    }
    return image;
}

void fillWindow(HWND window, std::uint32_t pixel) {
    if (Window* record = findWindow(window)) {
        std::fill(record->pixels.begin(), record->pixels.end(), pixel);
    }
}

// ---- Classes.

ClassInfo classInfo(const char* className, HINSTANCE instance) {
    ClassInfo info;
    const std::string key = lowerCase(className);
    for (const ClassRecord& record : state().classes) {
        if (lowerCase(record.name.c_str()) == key && record.instance == instance) {
            info.registered = true;
            info.style = record.style;
            info.windowProc = record.windowProc;
            info.classExtra = record.classExtra;
            info.windowExtra = record.windowExtra;
            info.instance = record.instance;
            info.icon = record.icon;
            info.cursor = record.cursor;
            info.background = record.background;
            info.hasMenuName = record.hasMenuName;
        }
    }
    return info;
}

ClassCalls classCalls(const char* className) {
    const auto& calls = state().classCalls;
    const auto found = calls.find(lowerCase(className));
    return found == calls.end() ? ClassCalls{} : found->second;
}

// ---- GDI objects.

BitmapInfo bitmapInfo(HBITMAP bitmap) {
    BitmapInfo info;
    if (const GdiObject* record = findObject(bitmap, ObjectKind::Bitmap)) {
        info.exists = true;
        info.width = record->width;
        info.height = record->height;
        info.bitsPerPixel = record->bitsPerPixel;
        info.selectedInto = record->selectedInto;
    }
    return info;
}

Image bitmapImage(HBITMAP bitmap) {
    Image image;
    if (const GdiObject* record = findObject(bitmap, ObjectKind::Bitmap)) {
        image.width = record->width;
        image.height = record->height;
        image.pixels = record->pixels;
    }
    return image;
}

FontInfo fontInfo(HFONT font) {
    const GdiObject* record = findObject(font, ObjectKind::Font);
    return record != nullptr ? record->font : FontInfo{};
}

int selectionCount(HGDIOBJ object) {
    int count = 0;
    for (const auto& entry : state().dcs) {
        const DeviceContext& dc = entry.second;
        if (dc.bitmap == object || dc.font == object || dc.brush == object) {
            ++count;
        }
    }
    return count;
}

int dcsWithSelections() {
    const State& s = state();
    int count = 0;
    for (const auto& entry : s.dcs) {
        const DeviceContext& dc = entry.second;
        if ((dc.memory && dc.bitmap != s.stockBitmap) || dc.font != s.stockFont ||
            dc.brush != s.stockBrush) {
            ++count;
        }
    }
    return count;
}

HBITMAP loadBitmapFromFile(const std::uint8_t* data, std::size_t size) {
    return reinterpret_cast<HBITMAP>(decodeBitmapFile(data, size));
}

const std::vector<TextRecord>& textRecords() {
    return state().texts;
}
const std::vector<BlitRecord>& blitRecords() {
    return state().blits;
}
const std::vector<FillRecord>& fillRecords() {
    return state().fills;
}

// ---- Capture, cursors, shell.

HWND captureWindow() {
    return state().capture;
}

int cursorId(HCURSOR cursor) {
    if (cursor == nullptr) {
        return 0;
    }
    for (const auto& entry : state().systemCursors) {
        if (entry.second == handleValue(cursor)) {
            return entry.first;
        }
    }
    return 0;
}

const std::vector<int>& cursorsSet() {
    return state().cursorsSet;
}
int currentCursorId() {
    return cursorId(state().cursor);
}
const std::vector<ShellCall>& shellCalls() {
    return state().shellCalls;
}
const std::vector<std::string>& diagnostics() {
    return state().diagnostics;
}

void clearRecords() {
    State& s = state();
    s.texts.clear();
    s.blits.clear();
    s.fills.clear();
    s.shellCalls.clear();
    s.cursorsSet.clear();
    s.diagnostics.clear();
    s.classCalls.clear();
    for (auto& entry : s.windows) {
        entry.second.invalidations = 0;
        entry.second.paints = 0;
    }
}

} // namespace standin::test
