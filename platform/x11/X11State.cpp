#include "platform/x11/X11State.h"

namespace x11 {

Window::~Window() {
    if (surface != nullptr) {
        // Cairo keeps per-connection data (and shared-memory segments) in the surface's device:
        // finish it before the connection goes, so nothing of Cairo outlives it.
        cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(surface));
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        if (device != nullptr) {
            cairo_device_finish(device);
            cairo_device_destroy(device);
        }
    }
    if (connection != nullptr) {
        if (!xcb_connection_has_error(connection)) {
            for (const xcb_cursor_t cursor : {arrowCursor, handCursor}) {
                if (cursor != 0) {
                    xcb_free_cursor(connection, cursor);
                }
            }
            if (cursorFont != 0) {
                xcb_close_font(connection, cursorFont);
            }
            xcb_flush(connection);
        }
        // Also for a connection that failed: xcb_connect hands out an object either way.
        xcb_disconnect(connection);
    }
}

GdiObject::~GdiObject() {
    if (image != nullptr) {
        cairo_surface_destroy(image);
    }
    if (face != nullptr) {
        cairo_font_face_destroy(face);
    }
}

State& state() {
    static State instance;
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

LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const Window* record = findWindow(window);
    if (record == nullptr || record->windowProc == nullptr) {
        return 0;
    }
    return record->windowProc(window, message, wParam, lParam);
}

} // namespace x11
