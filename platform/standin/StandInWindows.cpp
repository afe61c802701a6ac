// USER32 of the stand-in: window classes, windows and their messages, invalidation and
// painting, mouse capture and cursors.
#include <algorithm>
#include <vector>

#include "platform/standin/StandInState.h"

using namespace standin::detail;

namespace {

bool isIntResource(LPCSTR name) {
    return (reinterpret_cast<ULONG_PTR>(name) >> 16) == 0;
}

int intResourceId(LPCSTR name) {
    return static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
}

ClassRecord* findClass(LPCSTR name, HINSTANCE instance) {
    const std::string key = lowerCase(name);
    for (ClassRecord& record : state().classes) {
        if (lowerCase(record.name.c_str()) == key && record.instance == instance) {
            return &record;
        }
    }
    return nullptr;
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

// ---- Classes.

ATOM WINAPI RegisterClassA(const WNDCLASSA* windowClass) {
    State& s = state();
    if (windowClass == nullptr || windowClass->lpszClassName == nullptr ||
        isIntResource(windowClass->lpszClassName)) {
        diagnose("RegisterClassA", "no class name");
        return 0;
    }
    standin::test::ClassCalls& calls = s.classCalls[lowerCase(windowClass->lpszClassName)];
    ++calls.registerCalls;
    if (findClass(windowClass->lpszClassName, windowClass->hInstance) != nullptr) {
        ++calls.registerFailures;
        diagnose("RegisterClassA",
                 std::string("class already registered: ") + windowClass->lpszClassName);
        return 0;
    }
    ClassRecord record;
    record.name = windowClass->lpszClassName;
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
    State& s = state();
    if (className == nullptr || isIntResource(className)) {
        diagnose("UnregisterClassA", "no class name");
        return FALSE;
    }
    standin::test::ClassCalls& calls = s.classCalls[lowerCase(className)];
    ++calls.unregisterCalls;
    const ClassRecord* record = findClass(className, instance);
    if (record == nullptr) {
        ++calls.unregisterFailures;
        diagnose("UnregisterClassA", std::string("class not registered: ") + className);
        return FALSE;
    }
    const std::string key = lowerCase(className);
    for (const auto& entry : s.windows) {
        if (lowerCase(entry.second.className.c_str()) == key && entry.second.instance == instance) {
            ++calls.unregisterFailures;
            diagnose("UnregisterClassA",
                     std::string("windows of the class still exist: ") + className);
            return FALSE;
        }
    }
    s.classes.erase(s.classes.begin() + (record - s.classes.data()));
    return TRUE;
}

// ---- Windows.

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x,
                            int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    State& s = state();
    if (className == nullptr || isIntResource(className)) {
        diagnose("CreateWindowExA", "no class name");
        return nullptr;
    }
    const ClassRecord* record = findClass(className, instance);
    if (record == nullptr) {
        diagnose("CreateWindowExA", std::string("class not registered: ") + className);
        return nullptr;
    }
    if (parent != nullptr && findWindow(parent) == nullptr) {
        diagnose("CreateWindowExA", "unknown parent window");
        return nullptr;
    }
    if ((style & WS_CHILD) != 0 && parent == nullptr) {
        diagnose("CreateWindowExA", "a child window needs a parent");
        return nullptr;
    }

    Window window;
    window.className = record->name;
    window.title = windowName != nullptr ? windowName : "";
    window.windowProc = record->windowProc;
    window.background = record->background;
    window.instance = instance;
    window.parent = parent;
    window.menu = menu;
    window.createParam = param;
    window.style = style;
    window.exStyle = exStyle;
    window.x = x;
    window.y = y;
    window.width = std::max(width, 0);
    window.height = std::max(height, 0);
    window.pixels.assign(static_cast<std::size_t>(window.width) * window.height, 0u);
    const std::uintptr_t value = newHandle();
    s.windows.emplace(value, std::move(window));
    const HWND handle = reinterpret_cast<HWND>(value);

    // The messages of creation reach the procedure before the caller has the handle.
    if (deliver(handle, WM_NCCREATE, 0, 0) == 0) {
        s.windows.erase(value);
        return nullptr;
    }
    if (deliver(handle, WM_CREATE, 0, 0) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    Window* created = findWindow(handle);
    if (created == nullptr) {
        return nullptr;
    }
    if ((style & WS_VISIBLE) != 0) {
        // Showing a window puts all of it into the update region, with the background erased.
        created->invalid = true;
        created->erasePending = true;
        created->updateRect = clientRect(*created);
    }
    return handle;
}

BOOL WINAPI DestroyWindow(HWND window) {
    State& s = state();
    if (findWindow(window) == nullptr) {
        diagnose("DestroyWindow", "unknown window");
        return FALSE;
    }
    // A window that goes away loses the capture first (and is told so).
    if (s.capture != nullptr && isDescendantOrSelf(s.capture, window)) {
        ReleaseCapture();
    }
    deliver(window, WM_DESTROY, 0, 0);

    std::vector<HWND> children;
    for (const auto& entry : s.windows) {
        if (entry.second.parent == window) {
            children.push_back(reinterpret_cast<HWND>(entry.first));
        }
    }
    for (HWND child : children) {
        if (findWindow(child) != nullptr) {
            DestroyWindow(child);
        }
    }

    deliver(window, WM_NCDESTROY, 0, 0);
    s.windows.erase(handleValue(window));
    return TRUE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND window, int index) {
    const Window* record = findWindow(window);
    if (record == nullptr) {
        diagnose("GetWindowLongPtrA", "unknown window");
        return 0;
    }
    if (index != GWLP_USERDATA) {
        diagnose("GetWindowLongPtrA", "only GWLP_USERDATA is kept");
        return 0;
    }
    return record->userData;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND window, int index, LONG_PTR value) {
    Window* record = findWindow(window);
    if (record == nullptr) {
        diagnose("SetWindowLongPtrA", "unknown window");
        return 0;
    }
    if (index != GWLP_USERDATA) {
        diagnose("SetWindowLongPtrA", "only GWLP_USERDATA is kept");
        return 0;
    }
    const LONG_PTR previous = record->userData;
    record->userData = value;
    return previous;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
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

// ---- Invalidation and painting.

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (window == nullptr) {
        diagnose("InvalidateRect", "null window (would repaint every window)");
        return FALSE;
    }
    Window* record = findWindow(window);
    if (record == nullptr) {
        diagnose("InvalidateRect", "unknown window");
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
    Window* record = findWindow(window);
    if (record == nullptr || paint == nullptr) {
        diagnose("BeginPaint", "unknown window or no PAINTSTRUCT");
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
    paint->fErase = FALSE;
    if (erase) {
        paint->fErase = deliver(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (findWindow(window) == nullptr || paint == nullptr) {
        diagnose("EndPaint", "unknown window or no PAINTSTRUCT");
        return FALSE;
    }
    const DeviceContext* dc = findDc(paint->hdc);
    if (dc == nullptr || dc->memory || dc->window != window) {
        diagnose("EndPaint", "not this window's paint DC");
        return FALSE;
    }
    releaseDc(paint->hdc, "EndPaint");
    return TRUE;
}

// ---- Capture.

HWND WINAPI SetCapture(HWND window) {
    State& s = state();
    if (findWindow(window) == nullptr) {
        diagnose("SetCapture", "unknown window");
        return nullptr;
    }
    const HWND previous = s.capture;
    s.capture = window;
    // As on Win32, the window that held the capture hears of it, even when it takes it again.
    if (previous != nullptr && findWindow(previous) != nullptr) {
        deliver(previous, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(window));
    }
    return previous;
}

BOOL WINAPI ReleaseCapture() {
    State& s = state();
    const HWND previous = s.capture;
    s.capture = nullptr;
    if (previous != nullptr && findWindow(previous) != nullptr) {
        deliver(previous, WM_CAPTURECHANGED, 0, 0);
    }
    return TRUE;
}

HWND WINAPI GetCapture() {
    return state().capture;
}

// ---- Cursors: the system's shared cursors, by id.

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR cursorName) {
    if (instance != nullptr || !isIntResource(cursorName)) {
        diagnose("LoadCursorA", "only the system cursors exist");
        return nullptr;
    }
    const int id = intResourceId(cursorName);
    static const int kSystemCursors[] = {32512, 32513, 32514, 32515, 32516, 32642, 32643,
                                         32644, 32645, 32646, 32648, 32649, 32650, 32651};
    if (std::find(std::begin(kSystemCursors), std::end(kSystemCursors), id) ==
        std::end(kSystemCursors)) {
        diagnose("LoadCursorA", "unknown system cursor " + std::to_string(id));
        return nullptr;
    }
    auto& cursors = state().systemCursors;
    auto found = cursors.find(id);
    if (found == cursors.end()) {
        found = cursors.emplace(id, newHandle()).first;
    }
    return reinterpret_cast<HCURSOR>(found->second);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    State& s = state();
    const HCURSOR previous = s.cursor;
    s.cursor = cursor;
    s.cursorsSet.push_back(standin::test::cursorId(cursor));
    return previous;
}
