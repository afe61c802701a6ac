#include "platform/standin/StandInState.h"

#include <algorithm>
#include <cctype>

namespace standin::detail {

State::State() {
    const auto addStock = [this](GdiObject object) {
        object.stock = true;
        const std::uintptr_t handle = nextHandle;
        nextHandle += 0x10;
        objects.emplace(handle, std::move(object));
        return reinterpret_cast<HGDIOBJ>(handle);
    };

    GdiObject bitmap;
    bitmap.kind = ObjectKind::Bitmap;
    bitmap.width = 1;
    bitmap.height = 1;
    bitmap.bitsPerPixel = 1;
    bitmap.pixels.assign(1, 0x000000u);
    stockBitmap = addStock(std::move(bitmap));

    GdiObject font;
    font.kind = ObjectKind::Font;
    font.font.exists = true;
    font.font.height = 16;
    font.font.faceName = "System";
    stockFont = addStock(std::move(font));

    GdiObject brush;
    brush.kind = ObjectKind::Brush;
    brush.colour = RGB(255, 255, 255);
    stockBrush = addStock(std::move(brush));
}

State& state() {
    static State instance;
    return instance;
}

std::uintptr_t newHandle() {
    State& s = state();
    const std::uintptr_t handle = s.nextHandle;
    s.nextHandle += 0x10;
    return handle;
}

Window* findWindow(HWND window) {
    auto& windows = state().windows;
    const auto found = windows.find(handleValue(window));
    return found == windows.end() ? nullptr : &found->second;
}

DeviceContext* findDc(HDC dc) {
    auto& dcs = state().dcs;
    const auto found = dcs.find(handleValue(dc));
    return found == dcs.end() ? nullptr : &found->second;
}

GdiObject* findObject(HGDIOBJ object) {
    auto& objects = state().objects;
    const auto found = objects.find(handleValue(object));
    return found == objects.end() ? nullptr : &found->second;
}

GdiObject* findObject(HGDIOBJ object, ObjectKind kind) {
    GdiObject* found = findObject(object);
    return found != nullptr && found->kind == kind ? found : nullptr;
}

void diagnose(const char* function, const std::string& what) {
    state().diagnostics.push_back(std::string(function) + ": " + what);
}

LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* target = findWindow(window);
    if (target == nullptr || target->windowProc == nullptr) {
        return 0;
    }
    // The procedure may create or destroy windows: nothing of `target` is used after the call.
    const WNDPROC procedure = target->windowProc;
    return procedure(window, message, wParam, lParam);
}

std::string lowerCase(const char* text) {
    std::string result = text != nullptr ? text : "";
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

RECT intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (isEmpty(r)) {
        r = RECT{0, 0, 0, 0};
    }
    return r;
}

bool isEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

} // namespace standin::detail
