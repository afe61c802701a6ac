#include "platform/winapi/WinApiState.h"

#include <cstring>
#include <mutex>

#include "platform/ModuleBitmaps.h"

namespace winapi {

GdiObject::~GdiObject() {
    if (image != nullptr) {
        cairo_surface_destroy(image);
    }
    if (face != nullptr) {
        cairo_font_face_destroy(face);
    }
}

State& state() {
    static State instance = [] {
        State made;
        made.system = &windowSystem();
        made.observer = made.system->observer();
        return made;
    }();
    return instance;
}

namespace {
std::recursive_mutex& stateMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
} // namespace

StateLock::StateLock() {
    stateMutex().lock();
}

StateLock::~StateLock() {
    stateMutex().unlock();
}

std::uintptr_t newHandle() {
    return state().nextHandle++;
}

Window* findWindow(HWND window) {
    auto& windows = state().windows;
    const auto found = windows.find(reinterpret_cast<std::uintptr_t>(window));
    return found != windows.end() ? found->second.get() : nullptr;
}

DeviceContext* findDc(HDC dc) {
    auto& dcs = state().dcs;
    const auto found = dcs.find(reinterpret_cast<std::uintptr_t>(dc));
    return found != dcs.end() ? &found->second : nullptr;
}

GdiObject* findObject(HGDIOBJ object) {
    auto& objects = state().objects;
    const auto found = objects.find(reinterpret_cast<std::uintptr_t>(object));
    return found != objects.end() ? found->second.get() : nullptr;
}

GdiObject* findObject(HGDIOBJ object, ObjectKind kind) {
    GdiObject* record = findObject(object);
    return record != nullptr && record->kind == kind ? record : nullptr;
}

HGDIOBJ addObject(std::unique_ptr<GdiObject> object) {
    const std::uintptr_t handle = newHandle();
    state().objects.emplace(handle, std::move(object));
    return reinterpret_cast<HGDIOBJ>(handle);
}

HBITMAP addBitmap(const DecodedBitmap& decoded) {
    cairo_surface_t* image =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, decoded.width, decoded.height);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return nullptr;
    }
    // RGB24 keeps each pixel as a native 32-bit 0x00RRGGBB word, as the decoder gives them.
    cairo_surface_flush(image);
    unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    for (int row = 0; row < decoded.height; ++row) {
        std::memcpy(data + static_cast<std::size_t>(row) * stride,
                    decoded.pixels.data() + static_cast<std::size_t>(row) * decoded.width,
                    static_cast<std::size_t>(decoded.width) * 4);
    }
    cairo_surface_mark_dirty(image);
    auto bitmap = std::make_unique<GdiObject>();
    bitmap->kind = ObjectKind::Bitmap;
    bitmap->image = image;
    return reinterpret_cast<HBITMAP>(addObject(std::move(bitmap)));
}

HWND addWindow(std::unique_ptr<Window> window) {
    const std::uintptr_t value = newHandle();
    state().windows.emplace(value, std::move(window));
    return reinterpret_cast<HWND>(value);
}

void misuse(const char* function, const char* what) {
    if (Observer* observer = state().observer) {
        observer->misuse(function, what);
    }
}

void misuse(const char* function, const char* what, const char* name) {
    if (Observer* observer = state().observer) {
        observer->misuse(function, std::string(what) + (name != nullptr ? name : ""));
    }
}

LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* record = findWindow(window);
    if (record == nullptr || record->windowProc == nullptr) {
        return 0;
    }
    // The procedure may create or destroy windows: nothing of `record` is used after the call.
    const WNDPROC procedure = record->windowProc;
    return procedure(window, message, wParam, lParam);
}

int cursorId(HCURSOR cursor) {
    const auto id = reinterpret_cast<ULONG_PTR>(cursor);
    return id == 32512 || id == 32649 ? static_cast<int>(id) : 0;
}

} // namespace winapi
