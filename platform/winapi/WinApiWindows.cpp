// USER32 and SHELL32 outside Windows: window classes, windows and their messages, the data
// slot, update regions and painting, the capture, cursors, and "open" through the window system.
#include <shellapi.h>
#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/winapi/WinApiState.h"

using namespace winapi;

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

void classCall(LPCSTR name, bool registering, bool failed) {
    if (Observer* observer = state().observer) {
        observer->classCall(name, registering, failed);
    }
}

bool isDescendantOrSelf(HWND window, HWND ancestor) {
    for (HWND current = window; current != nullptr;) {
        if (current == ancestor) {
            return true;
        }
        const Window* record = findWindow(current);
        current = record != nullptr ? record->parent : nullptr;
    }
    return false;
}

RECT clientRect(const Window& window) {
    return RECT{0, 0, window.width, window.height};
}

bool isEmpty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT intersect(const RECT& a, const RECT& b) {
    const RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return isEmpty(r) ? RECT{0, 0, 0, 0} : r;
}

RECT unite(const RECT& a, const RECT& b) {
    if (isEmpty(a)) {
        return b;
    }
    if (isEmpty(b)) {
        return a;
    }
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

} // namespace

namespace winapi {

void destroyWindow(HWND handle) {
    State& s = state();
    Window* window = findWindow(handle);
    if (window == nullptr || window->destroying) {
        return;
    }
    window->destroying = true;
    // A window that goes away loses the capture first, and is told so.
    if (s.capture != nullptr && isDescendantOrSelf(s.capture, handle)) {
        ReleaseCapture();
    }
    deliver(handle, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    for (const auto& entry : s.windows) {
        if (entry.second->parent == handle) {
            children.push_back(reinterpret_cast<HWND>(entry.first));
        }
    }
    for (const HWND child : children) {
        destroyWindow(child);
    }
    if ((window = findWindow(handle)) != nullptr) {
        s.system->destroy(*window);
    }
    deliver(handle, WM_NCDESTROY, 0, 0);
    if (s.eventWindow == handle) {
        s.eventWindow = nullptr;
    }
    s.windows.erase(reinterpret_cast<std::uintptr_t>(handle));
}

} // namespace winapi

// ---- Classes.

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    const StateLock lock;
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        isIntResource(windowClass->lpszClassName)) {
        misuse("RegisterClassA", "no class name");
        return 0;
    }
    const LPCSTR name = windowClass->lpszClassName;
    if (findClass(name, windowClass->hInstance) != nullptr) {
        classCall(name, true, true);
        misuse("RegisterClassA", "class already registered: ", name);
        return 0;
    }
    classCall(name, true, false);
    State& s = state();
    WindowClass record;
    record.name = name;
    record.style = windowClass->style;
    record.windowProc = windowClass->lpfnWndProc;
    record.classExtra = windowClass->cbClsExtra;
    record.windowExtra = windowClass->cbWndExtra;
    record.instance = windowClass->hInstance;
    record.icon = windowClass->hIcon;
    record.cursor = windowClass->hCursor;
    record.background = windowClass->hbrBackground;
    record.hasMenuName = windowClass->lpszMenuName != nullptr;
    s.classes.push_back(record);
    return static_cast<ATOM>(0xC000 + s.classes.size());
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE instance) {
    const StateLock lock;
    if (className == nullptr || isIntResource(className)) {
        misuse("UnregisterClassA", "no class name");
        return FALSE;
    }
    WindowClass* record = findClass(className, instance);
    if (record == nullptr) {
        classCall(className, false, true);
        misuse("UnregisterClassA", "class not registered: ", className);
        return FALSE;
    }
    State& s = state();
    for (const auto& entry : s.windows) {
        if (strcasecmp(entry.second->className.c_str(), className) == 0 &&
            entry.second->instance == instance) {
            classCall(className, false, true);
            misuse("UnregisterClassA", "windows of the class still exist: ", className);
            return FALSE;
        }
    }
    classCall(className, false, false);
    s.classes.erase(s.classes.begin() + (record - s.classes.data()));
    return TRUE;
}

// ---- Windows.

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    const StateLock lock;
    if (className == nullptr || isIntResource(className)) {
        misuse("CreateWindowExA", "no class name");
        return nullptr;
    }
    const WindowClass* windowClass = findClass(className, instance);
    if (windowClass == nullptr) {
        misuse("CreateWindowExA", "class not registered: ", className);
        return nullptr;
    }
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
        misuse("CreateWindowExA", "no size");
        return nullptr;
    }

    auto window = std::make_unique<Window>();
    window->className = windowClass->name;
    window->title = windowName != nullptr ? windowName : "";
    window->instance = instance;
    window->windowProc = windowClass->windowProc;
    window->background = windowClass->background;
    window->menu = menu;
    window->createParam = param;
    window->style = style;
    window->exStyle = exStyle;
    window->x = x;
    window->y = y;
    window->width = width;
    window->height = height;
    State& s = state();
    if (!s.system->create(*window, parent, x, y)) {
        return nullptr; // the destructor gives back whatever was made
    }
    const HWND handle = addWindow(std::move(window));

    // The messages of creation reach the procedure before the caller has the handle.
    if (deliver(handle, WM_NCCREATE, 0, 0) == 0 || deliver(handle, WM_CREATE, 0, 0) == -1) {
        destroyWindow(handle);
        return nullptr;
    }
    Window* created = findWindow(handle);
    if (created == nullptr) {
        return nullptr;
    }
    const bool visible = (style & WS_VISIBLE) != 0;
    if (visible) {
        // Showing a window puts all of it into the update region, with the background erased.
        created->invalid = true;
        created->erasePending = true;
        created->updateRect = clientRect(*created);
    }
    s.system->created(*created, visible);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND window) {
    const StateLock lock;
    if (findWindow(window) == nullptr) {
        misuse("DestroyWindow", "unknown window");
        return FALSE;
    }
    destroyWindow(window);
    state().system->destroyed();
    return TRUE;
}

namespace {

Window* userDataWindow(HWND window, int index, const char* function) {
    Window* record = findWindow(window);
    if (record == nullptr) {
        misuse(function, "unknown window");
        return nullptr;
    }
    if (index != GWLP_USERDATA) {
        misuse(function, "only GWLP_USERDATA is kept");
        return nullptr;
    }
    return record;
}

} // namespace

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    const StateLock lock;
    const Window* record = userDataWindow(window, index, "GetWindowLongPtrA");
    return record != nullptr ? record->userData : 0;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    const StateLock lock;
    Window* record = userDataWindow(window, index, "SetWindowLongPtrA");
    if (record == nullptr) {
        return 0;
    }
    const LONG_PTR previous = record->userData;
    record->userData = value;
    return previous;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
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
    case WM_ERASEBKGND: {
        const Window* record = findWindow(window);
        if (record == nullptr || record->background == nullptr) {
            return 0; // no class brush: nothing erased, the paint has to cover everything
        }
        const RECT all = clientRect(*record);
        FillRect(reinterpret_cast<HDC>(wParam), &all, record->background);
        return 1;
    }
    default:
        return 0;
    }
}

// ---- Update regions (kept as their bounding box) and painting.

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    const StateLock lock;
    if (window == nullptr) {
        misuse("InvalidateRect", "null window (would repaint every window)");
        return FALSE;
    }
    Window* record = findWindow(window);
    if (record == nullptr) {
        misuse("InvalidateRect", "unknown window");
        return FALSE;
    }
    const RECT all = clientRect(*record);
    const RECT area = rect != nullptr ? intersect(*rect, all) : all;
    ++record->invalidations;
    if (!isEmpty(area)) {
        record->updateRect = unite(record->invalid ? record->updateRect : RECT{}, area);
        record->invalid = true;
        record->erasePending = record->erasePending || erase != FALSE;
    }
    return TRUE;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    const StateLock lock;
    Window* record = findWindow(window);
    if (record == nullptr || paint == nullptr) {
        misuse("BeginPaint", "unknown window or no PAINTSTRUCT");
        return nullptr;
    }
    *paint = PAINTSTRUCT{};
    const RECT area = record->invalid ? record->updateRect : RECT{0, 0, 0, 0};
    const bool erase = record->invalid && record->erasePending;
    record->invalid = false;
    record->erasePending = false;
    record->updateRect = RECT{0, 0, 0, 0};

    // The paint DC draws only inside the update region (here: its bounding box).
    const HDC dc = createPaintDc(window, area);
    paint->hdc = dc;
    paint->rcPaint = area;
    if (erase) {
        paint->fErase = deliver(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    const StateLock lock;
    Window* record = findWindow(window);
    if (record == nullptr || paint == nullptr) {
        misuse("EndPaint", "unknown window or no PAINTSTRUCT");
        return FALSE;
    }
    const DeviceContext* dc = findDc(paint->hdc);
    if (dc == nullptr || dc->memory || dc->window != window) {
        misuse("EndPaint", "not this window's paint DC");
        return FALSE;
    }
    releaseDc(paint->hdc, "EndPaint");
    cairo_surface_flush(record->surface());
    state().system->painted(*record);
    return TRUE;
}

// ---- Capture.

HWND WINAPI SetCapture(HWND window) {
    const StateLock lock;
    State& s = state();
    Window* record = findWindow(window);
    if (record == nullptr) {
        misuse("SetCapture", "unknown window");
        return nullptr;
    }
    const HWND previous = s.capture;
    s.capture = window;
    s.system->captureTaken(*record, previous != window ? findWindow(previous) : nullptr);
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
        s.system->captureReleased(*record);
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
    const StateLock lock;
    const auto id = reinterpret_cast<ULONG_PTR>(cursorName);
    if (instance != nullptr || (id != 32512 && id != 32649)) {
        misuse("LoadCursorA", "only the system's arrow and hand exist");
        return nullptr;
    }
    return reinterpret_cast<HCURSOR>(id);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    const StateLock lock;
    State& s = state();
    const HCURSOR previous = s.cursor;
    s.cursor = cursor;
    if (s.observer != nullptr) {
        s.observer->cursorSet(cursor);
    }
    if (Window* window = findWindow(s.eventWindow)) {
        s.system->showCursor(*window, cursorId(cursor));
    }
    return previous;
}

// ---- Shell.

HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters,
                               LPCSTR directory, INT showCommand) {
    const StateLock lock;
    State& s = state();
    if (s.observer != nullptr) {
        s.observer->shell(owner, operation, file, parameters, directory, showCommand);
    }
    constexpr ULONG_PTR kFileNotFound = 2;
    if (file == nullptr || (operation != nullptr && std::strcmp(operation, "open") != 0)) {
        return reinterpret_cast<HINSTANCE>(kFileNotFound);
    }
    return reinterpret_cast<HINSTANCE>(s.system->open(file));
}
