// The view of Offscreen.h into the object model and the records.
#include <strings.h>

#include <algorithm>
#include <cstring>

#include "platform/ModuleBitmaps.h"
#include "platform/offscreen/OffscreenState.h"

using namespace winapi;
using offscreen::detail::lowerCase;
using offscreen::detail::records;

namespace {

offscreen::Image imageOf(cairo_surface_t* surface) {
    offscreen::Image image;
    if (surface == nullptr) {
        return image;
    }
    cairo_surface_flush(surface);
    image.width = cairo_image_surface_get_width(surface);
    image.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    image.pixels.resize(static_cast<std::size_t>(image.width) * image.height);
    for (int row = 0; row < image.height; ++row) {
        // RGB24: one native 32-bit 0x00RRGGBB word per pixel; the unused byte is cleared.
        const auto* line =
            reinterpret_cast<const std::uint32_t*>(data + static_cast<std::size_t>(row) * stride);
        for (int column = 0; column < image.width; ++column) {
            image.pixels[static_cast<std::size_t>(row) * image.width + column] =
                line[column] & 0x00FFFFFFu;
        }
    }
    return image;
}

} // namespace

namespace offscreen {

LiveObjects liveObjects() {
    const StateLock lock;
    const State& s = state();
    LiveObjects live;
    live.windows = static_cast<int>(s.windows.size());
    live.deviceContexts = static_cast<int>(s.dcs.size());
    for (const auto& entry : s.objects) {
        if (entry.second->stock) {
            continue;
        }
        switch (entry.second->kind) {
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
    const StateLock lock;
    WindowInfo info;
    const Window* record = findWindow(window);
    if (record == nullptr) {
        return info;
    }
    static_cast<WindowRecord&>(info) = *record;
    info.exists = true;
    const auto paints = records().paints.find(window);
    info.paints = paints != records().paints.end() ? paints->second : 0;
    return info;
}

HWND createHostWindow(int width, int height) {
    const StateLock lock;
    auto window = std::make_unique<Window>();
    window->className = "HostWindow";
    window->title = "Host";
    window->windowProc = DefWindowProcA;
    window->style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    window->width = width;
    window->height = height;
    if (!detail::attachSurface(*window)) {
        return nullptr;
    }
    return addWindow(std::move(window));
}

std::vector<HWND> windowsOfClass(const char* className) {
    const StateLock lock;
    std::vector<HWND> result;
    for (const auto& entry : state().windows) { // handles grow with creation order
        if (strcasecmp(entry.second->className.c_str(), className) == 0) {
            result.push_back(reinterpret_cast<HWND>(entry.first));
        }
    }
    return result;
}

// Messages are delivered without the state's lock, as a host's message loop does: the
// procedure takes its own locks, and the Win32 calls it makes take the state's.
LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC procedure = nullptr;
    {
        const StateLock lock;
        const Window* record = findWindow(window);
        if (record == nullptr) {
            misuse("sendMessage", "unknown window");
            return 0;
        }
        procedure = record->windowProc;
    }
    return procedure != nullptr ? procedure(window, message, wParam, lParam) : 0;
}

LRESULT sendMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
    return sendMessage(window, message, keys, MAKELPARAM(x, y));
}

bool pumpPaint(HWND window) {
    {
        const StateLock lock;
        const Window* record = findWindow(window);
        if (record == nullptr || !record->invalid) {
            return false;
        }
        ++records().paints[window];
    }
    sendMessage(window, WM_PAINT, 0, 0);
    return true;
}

void validate(HWND window) {
    const StateLock lock;
    if (Window* record = findWindow(window)) {
        record->invalid = false;
        record->erasePending = false;
        record->updateRect = RECT{0, 0, 0, 0};
    }
}

Image windowImage(HWND window) {
    const StateLock lock;
    const Window* record = findWindow(window);
    return imageOf(record != nullptr ? record->surface() : nullptr);
}

void fillWindow(HWND window, std::uint32_t pixel) {
    const StateLock lock;
    if (const Window* record = findWindow(window)) {
        cairo_t* cr = cairo_create(record->surface());
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_rgb(cr, ((pixel >> 16) & 0xFFu) / 255.0, ((pixel >> 8) & 0xFFu) / 255.0,
                             (pixel & 0xFFu) / 255.0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
}

// ---- Classes.

ClassInfo classInfo(const char* className, HINSTANCE instance) {
    const StateLock lock;
    ClassInfo info;
    for (const WindowClass& record : state().classes) {
        if (strcasecmp(record.name.c_str(), className) == 0 && record.instance == instance) {
            static_cast<WindowClass&>(info) = record;
            info.registered = true;
        }
    }
    return info;
}

ClassCalls classCalls(const char* className) {
    const StateLock lock;
    const auto& calls = records().classCalls;
    const auto found = calls.find(lowerCase(className));
    return found == calls.end() ? ClassCalls{} : found->second;
}

// ---- GDI objects.

BitmapInfo bitmapInfo(HBITMAP bitmap) {
    const StateLock lock;
    BitmapInfo info;
    if (const GdiObject* record = findObject(bitmap, ObjectKind::Bitmap)) {
        info.exists = true;
        info.width = cairo_image_surface_get_width(record->image);
        info.height = cairo_image_surface_get_height(record->image);
        info.bitsPerPixel = 32;
        info.selectedInto = record->selectedInto;
    }
    return info;
}

Image bitmapImage(HBITMAP bitmap) {
    const StateLock lock;
    const GdiObject* record = findObject(bitmap, ObjectKind::Bitmap);
    return imageOf(record != nullptr ? record->image : nullptr);
}

FontInfo fontInfo(HFONT font) {
    const StateLock lock;
    FontInfo info;
    if (const GdiObject* record = findObject(font, ObjectKind::Font)) {
        static_cast<FontRequest&>(info) = record->request;
        info.exists = true;
    }
    return info;
}

int selectionCount(HGDIOBJ object) {
    const StateLock lock;
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
    const StateLock lock;
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
    const StateLock lock;
    DecodedBitmap decoded;
    return decodeBitmapFile(data, size, decoded) ? addBitmap(decoded) : nullptr;
}

const std::vector<TextRecord>& textRecords() {
    return records().texts;
}
const std::vector<BlitRecord>& blitRecords() {
    return records().blits;
}
const std::vector<FillRecord>& fillRecords() {
    return records().fills;
}

// ---- Capture, cursors, shell.

HWND captureWindow() {
    const StateLock lock;
    return state().capture;
}

int cursorId(HCURSOR cursor) {
    return winapi::cursorId(cursor);
}

const std::vector<int>& cursorsSet() {
    return records().cursorsSet;
}
int currentCursorId() {
    const StateLock lock;
    return winapi::cursorId(state().cursor);
}
const std::vector<ShellCall>& shellCalls() {
    return records().shellCalls;
}
const std::vector<std::string>& diagnostics() {
    return records().diagnostics;
}

void clearRecords() {
    const StateLock lock;
    detail::Records& r = records();
    r.texts.clear();
    r.blits.clear();
    r.fills.clear();
    r.shellCalls.clear();
    r.cursorsSet.clear();
    r.diagnostics.clear();
    r.classCalls.clear();
    r.paints.clear();
    for (auto& entry : state().windows) {
        entry.second->invalidations = 0;
    }
}

} // namespace offscreen
