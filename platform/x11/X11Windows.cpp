// USER32 on X11: window classes, editor windows as XCB child windows of the host's window,
// their data slot, invalidation and painting, the capture as a pointer grab, and cursors.
#include <cairo-xcb.h>
#include <strings.h>

#include <cstdint>
#include <cstdlib>

#include "platform/x11/X11State.h"

using namespace x11;

namespace {

bool isIntResource(LPCSTR name) {
    return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0;
}

WindowClass* findClass(LPCSTR name, HINSTANCE instance) {
    for (WindowClass& record : state().classes) {
        if (strcasecmp(record.name.c_str(), name) == 0 && record.instance == instance) {
            return &record;
        }
    }
    return nullptr;
}

// The visual of the screen whose root is `root` with id `visual`; null when there is none.
xcb_visualtype_t* findVisual(xcb_connection_t* connection, xcb_window_t root,
                             xcb_visualid_t visual) {
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem;
         xcb_screen_next(&screens)) {
        if (screens.data->root != root) {
            continue;
        }
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
                 xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == visual) {
                    return visuals.data;
                }
            }
        }
    }
    return nullptr;
}

// Makes the X window: a child of `parent` on a new connection, with the parent's depth and
// visual. False when there is no display or `parent` is no window on it.
bool createXWindow(Window& window, xcb_window_t parent, int x, int y) {
    window.connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(window.connection)) {
        return false;
    }
    xcb_connection_t* const c = window.connection;
    const auto attributesCookie = xcb_get_window_attributes(c, parent);
    const auto geometryCookie = xcb_get_geometry(c, parent);
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, geometryCookie, nullptr);
    xcb_visualtype_t* visual = nullptr;
    if (attributes != nullptr && geometry != nullptr &&
        attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT) {
        visual = findVisual(c, geometry->root, attributes->visual);
    }
    std::free(attributes);
    std::free(geometry);
    if (visual == nullptr) {
        return false;
    }

    window.id = xcb_generate_id(c);
    // No background: exposed parts keep their pixels until the paint, which covers everything.
    const std::uint32_t values[] = {
        XCB_BACK_PIXMAP_NONE, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                  XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                  XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW |
                                  XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_create_window_checked(
               c, XCB_COPY_FROM_PARENT, window.id, parent, static_cast<std::int16_t>(x),
               static_cast<std::int16_t>(y), static_cast<std::uint16_t>(window.width),
               static_cast<std::uint16_t>(window.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
               XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values));
    if (error != nullptr) {
        // The parent went away between the queries and the creation.
        std::free(error);
        window.id = 0;
        return false;
    }
    window.surface = cairo_xcb_surface_create(c, window.id, visual, window.width, window.height);
    return cairo_surface_status(window.surface) == CAIRO_STATUS_SUCCESS;
}

void giveUpCapture(HWND window) {
    State& s = state();
    if (s.capture == window) {
        ReleaseCapture();
    }
}

} // namespace

namespace x11 {

void destroyWindow(HWND handle) {
    Window* window = findWindow(handle);
    if (window == nullptr || window->destroying) {
        return;
    }
    window->destroying = true;
    // A window that goes away loses the capture first, and is told so.
    giveUpCapture(handle);
    deliver(handle, WM_DESTROY, 0, 0);
    window = findWindow(handle);
    if (window != nullptr && !window->serverGone && !xcb_connection_has_error(window->connection)) {
        xcb_destroy_window(window->connection, window->id);
        xcb_flush(window->connection);
    }
    deliver(handle, WM_NCDESTROY, 0, 0);
    if (state().eventWindow == handle) {
        state().eventWindow = nullptr;
    }
    state().windows.erase(reinterpret_cast<std::uintptr_t>(handle));
}

} // namespace x11

// ---- Classes.

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    const StateLock lock;
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        isIntResource(windowClass->lpszClassName) ||
        findClass(windowClass->lpszClassName, windowClass->hInstance) != nullptr) {
        return 0;
    }
    State& s = state();
    s.classes.push_back(
        WindowClass{windowClass->lpszClassName, windowClass->hInstance, windowClass->lpfnWndProc});
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    const StateLock lock;
    if (className == nullptr || isIntResource(className)) {
        return FALSE;
    }
    WindowClass* record = findClass(className, instance);
    if (record == nullptr) {
        return FALSE;
    }
    State& s = state();
    for (const auto& entry : s.windows) {
        if (strcasecmp(entry.second->className.c_str(), className) == 0 &&
            entry.second->instance == instance) {
            return FALSE; // windows of the class still exist
        }
    }
    s.classes.erase(s.classes.begin() + (record - s.classes.data()));
    return TRUE;
}

// ---- Windows.

HWND WINAPI CreateWindowExA(DWORD /*exStyle*/, LPCSTR className, LPCSTR /*windowName*/, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU /*menu*/,
                            HINSTANCE instance, LPVOID /*param*/) {
    const StateLock lock;
    if (className == nullptr || isIntResource(className)) {
        return nullptr;
    }
    const WindowClass* windowClass = findClass(className, instance);
    // Only child windows exist here: the parent is the host's X11 window, by its id.
    const auto parentId = reinterpret_cast<std::uintptr_t>(parent);
    if (windowClass == nullptr || (style & WS_CHILD) == 0 || parentId == 0 ||
        parentId > UINT32_MAX || width <= 0 || height <= 0 || width > 32767 || height > 32767) {
        return nullptr;
    }

    auto window = std::make_unique<Window>();
    window->className = windowClass->name;
    window->instance = instance;
    window->windowProc = windowClass->windowProc;
    window->width = width;
    window->height = height;
    if (!createXWindow(*window, static_cast<xcb_window_t>(parentId), x, y)) {
        return nullptr; // the destructor gives back whatever was made
    }
    const std::uintptr_t value = newHandle();
    state().windows.emplace(value, std::move(window));
    const HWND handle = reinterpret_cast<HWND>(value);

    // The messages of creation reach the procedure before the caller has the handle.
    if (deliver(handle, WM_NCCREATE, 0, 0) == 0) {
        destroyWindow(handle);
        return nullptr;
    }
    if (deliver(handle, WM_CREATE, 0, 0) == -1) {
        destroyWindow(handle);
        return nullptr;
    }
    Window* created = findWindow(handle);
    if (created == nullptr) {
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0) {
        xcb_map_window(created->connection, created->id);
        created->invalid = true;
    }
    xcb_flush(created->connection);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND window) {
    const StateLock lock;
    if (findWindow(window) == nullptr) {
        return FALSE;
    }
    destroyWindow(window);
    reapOpeners();
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    const StateLock lock;
    const Window* record = findWindow(window);
    return record != nullptr && index == GWLP_USERDATA ? record->userData : 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    const StateLock lock;
    Window* record = findWindow(window);
    if (record == nullptr || index != GWLP_USERDATA) {
        return 0;
    }
    const LONG_PTR previous = record->userData;
    record->userData = value;
    return previous;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    const StateLock lock;
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_PAINT: {
        // Whatever the procedure left invalid is validated here, so WM_PAINT does not repeat.
        PAINTSTRUCT paint;
        if (BeginPaint(window, &paint) != nullptr) {
            EndPaint(window, &paint);
        }
        return 0;
    }
    default:
        return 0;
    }
}

// ---- Invalidation and painting: the whole window, every time.

BOOL WINAPI InvalidateRect(HWND window, const RECT* /*rect*/, BOOL /*erase*/) {
    const StateLock lock;
    Window* record = findWindow(window);
    if (record == nullptr) {
        return FALSE;
    }
    record->invalid = true;
    return TRUE;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    const StateLock lock;
    Window* record = findWindow(window);
    if (record == nullptr || paint == nullptr) {
        return nullptr;
    }
    *paint = PAINTSTRUCT{};
    record->invalid = false;
    paint->hdc = createPaintDc(window);
    paint->rcPaint = RECT{0, 0, record->width, record->height};
    paint->fErase = FALSE; // no class brush: nothing is erased, the paint covers everything
    return paint->hdc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    const StateLock lock;
    Window* record = findWindow(window);
    const DeviceContext* dc = paint != nullptr ? findDc(paint->hdc) : nullptr;
    if (record == nullptr || dc == nullptr || dc->memory || dc->window != window) {
        return FALSE;
    }
    releaseDc(paint->hdc);
    cairo_surface_flush(record->surface);
    xcb_flush(record->connection);
    return TRUE;
}

// ---- Capture: an active pointer grab of the window's connection.

HWND WINAPI SetCapture(HWND window) {
    const StateLock lock;
    State& s = state();
    Window* record = findWindow(window);
    if (record == nullptr) {
        return nullptr;
    }
    const HWND previous = s.capture;
    if (previous != nullptr && previous != window) {
        if (Window* old = findWindow(previous)) {
            xcb_ungrab_pointer(old->connection, XCB_CURRENT_TIME);
            xcb_flush(old->connection);
        }
    }
    s.capture = window;
    // Taken over from the press's own (implicit) grab, so it holds until ReleaseCapture even
    // when the button is let go outside; the answer is not waited for.
    const auto cookie = xcb_grab_pointer(
        record->connection, 0, record->id,
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
            XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
            XCB_EVENT_MASK_LEAVE_WINDOW,
        XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, record->lastTime);
    xcb_discard_reply(record->connection, cookie.sequence);
    xcb_flush(record->connection);
    // As on Win32, the window that held the capture hears of it, even when it takes it again.
    if (previous != nullptr) {
        deliver(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    }
    return previous;
}

BOOL WINAPI ReleaseCapture() {
    const StateLock lock;
    State& s = state();
    const HWND previous = s.capture;
    s.capture = nullptr;
    if (Window* record = findWindow(previous)) {
        if (!record->serverGone) {
            xcb_ungrab_pointer(record->connection, XCB_CURRENT_TIME);
            xcb_flush(record->connection);
        }
        deliver(previous, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

HWND WINAPI GetCapture() {
    const StateLock lock;
    return state().capture;
}

// ---- Cursors: the system's arrow and hand, by id; shown in the window whose events are
// being handled (the pointer is over it, or it holds the capture).

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    const auto id = reinterpret_cast<ULONG_PTR>(cursorName);
    if (instance != nullptr || (id != 32512 && id != 32649)) {
        return nullptr; // IDC_ARROW and IDC_HAND only
    }
    return reinterpret_cast<HCURSOR>(id);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    const StateLock lock;
    State& s = state();
    const HCURSOR previous = s.cursor;
    s.cursor = cursor;
    if (Window* window = findWindow(s.eventWindow)) {
        showCursor(*window, static_cast<int>(reinterpret_cast<ULONG_PTR>(cursor)));
    }
    return previous;
}

namespace x11 {

void showCursor(Window& window, int id) {
    if (window.serverGone || xcb_connection_has_error(window.connection)) {
        return;
    }
    xcb_connection_t* const c = window.connection;
    // Glyphs of the server's cursor font: left_ptr and hand2.
    constexpr std::uint16_t kArrowGlyph = 68;
    constexpr std::uint16_t kHandGlyph = 60;
    xcb_cursor_t& cursor = id == 32649 ? window.handCursor : window.arrowCursor;
    if (id != 0 && cursor == 0) {
        if (window.cursorFont == 0) {
            window.cursorFont = xcb_generate_id(c);
            xcb_open_font(c, window.cursorFont, 6, "cursor");
        }
        const std::uint16_t glyph = id == 32649 ? kHandGlyph : kArrowGlyph;
        cursor = xcb_generate_id(c);
        xcb_create_glyph_cursor(c, cursor, window.cursorFont, window.cursorFont, glyph, glyph + 1,
                                0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
    }
    const xcb_cursor_t wanted = id != 0 ? cursor : XCB_NONE;
    if (wanted != window.shownCursor) {
        xcb_change_window_attributes(c, window.id, XCB_CW_CURSOR, &wanted);
        window.shownCursor = wanted;
        xcb_flush(c);
    }
}

} // namespace x11
