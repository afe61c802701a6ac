// The offscreen window system: windows are RGB24 image surfaces, there is no event source (the
// tests deliver messages and pump paints as a host's message loop does on Windows), "open"
// opens nothing; and the observer that keeps the records and diagnostics Offscreen.h shows.
#include <cctype>

#include "platform/WindowEvents.h"
#include "platform/offscreen/OffscreenState.h"

using winapi::Window;

namespace offscreen::detail {

OffscreenWindow::~OffscreenWindow() {
    if (surface != nullptr) {
        cairo_surface_destroy(surface);
    }
}

Records& records() {
    static Records instance;
    return instance;
}

std::string lowerCase(const char* text) {
    std::string result = text != nullptr ? text : "";
    for (char& character : result) {
        character = static_cast<char>(std::tolower(static_cast<unsigned char>(character)));
    }
    return result;
}

bool attachSurface(Window& window) {
    auto made = std::make_unique<OffscreenWindow>();
    made->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, window.width, window.height);
    window.native = std::move(made);
    return cairo_surface_status(window.surface()) == CAIRO_STATUS_SUCCESS;
}

} // namespace offscreen::detail

using namespace offscreen::detail;

namespace {

HBITMAP bitmapOf(const winapi::DeviceContext& dc) {
    return dc.memory ? reinterpret_cast<HBITMAP>(dc.bitmap) : nullptr;
}

HWND windowOf(const winapi::DeviceContext& dc) {
    return dc.memory ? nullptr : dc.window;
}

std::optional<std::string> text(LPCSTR value) {
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

class Recorder final : public winapi::Observer {
public:
    void misuse(const char* function, const std::string& what) override {
        records().diagnostics.push_back(std::string(function) + ": " + what);
    }

    void classCall(const char* className, bool registering, bool failed) override {
        offscreen::ClassCalls& calls = records().classCalls[lowerCase(className)];
        ++(registering ? calls.registerCalls : calls.unregisterCalls);
        if (failed) {
            ++(registering ? calls.registerFailures : calls.unregisterFailures);
        }
    }

    void text(HDC /*dc*/, const winapi::DeviceContext& record, int x, int y, const char* line,
              int length) override {
        offscreen::TextRecord entry;
        entry.text.assign(line != nullptr ? line : "", static_cast<std::size_t>(length));
        entry.x = x;
        entry.y = y;
        entry.colour = record.textColour;
        entry.bkMode = record.bkMode;
        entry.font = reinterpret_cast<HFONT>(record.font);
        entry.targetBitmap = bitmapOf(record);
        entry.targetWindow = windowOf(record);
        records().texts.push_back(entry);
    }

    void blit(const winapi::DeviceContext& target, int x, int y, int width, int height,
              const winapi::DeviceContext& source, int sourceX, int sourceY, DWORD rop) override {
        offscreen::BlitRecord entry;
        entry.targetBitmap = bitmapOf(target);
        entry.targetWindow = windowOf(target);
        entry.x = x;
        entry.y = y;
        entry.width = width;
        entry.height = height;
        entry.sourceBitmap = bitmapOf(source);
        entry.sourceWindow = windowOf(source);
        entry.sourceX = sourceX;
        entry.sourceY = sourceY;
        entry.rop = rop;
        records().blits.push_back(entry);
    }

    void fill(const winapi::DeviceContext& target, const RECT& rect, COLORREF colour) override {
        offscreen::FillRecord entry;
        entry.targetBitmap = bitmapOf(target);
        entry.targetWindow = windowOf(target);
        entry.rect = rect;
        entry.colour = colour;
        records().fills.push_back(entry);
    }

    void shell(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
               INT showCommand) override {
        offscreen::ShellCall call;
        call.owner = owner;
        call.operation = ::text(operation);
        call.file = ::text(file);
        call.parameters = ::text(parameters);
        call.directory = ::text(directory);
        call.showCommand = showCommand;
        records().shellCalls.push_back(call);
    }

    void cursorSet(HCURSOR cursor) override {
        records().cursorsSet.push_back(winapi::cursorId(cursor));
    }
};

class OffscreenSystem final : public winapi::WindowSystem {
public:
    winapi::Observer* observer() override { return &recorder; }

    bool create(Window& window, HWND parent, int /*x*/, int /*y*/) override {
        if (parent != nullptr && winapi::findWindow(parent) == nullptr) {
            winapi::misuse("CreateWindowExA", "unknown parent window");
            return false;
        }
        if ((window.style & WS_CHILD) != 0 && parent == nullptr) {
            winapi::misuse("CreateWindowExA", "a child window needs a parent");
            return false;
        }
        window.parent = parent;
        return attachSurface(window);
    }

    void created(Window& /*window*/, bool /*visible*/) override {}
    void destroy(Window& /*window*/) override {}
    void destroyed() override {}
    void painted(Window& /*window*/) override {}
    void captureTaken(Window& /*window*/, Window* /*previous*/) override {}
    void captureReleased(Window& /*window*/) override {}
    void showCursor(Window& /*window*/, int /*id*/) override {}

    // Opens nothing; the call is in the records. Values above 32 mean success.
    ULONG_PTR open(LPCSTR /*file*/) override { return 42; }

private:
    Recorder recorder;
};

} // namespace

namespace winapi {

WindowSystem& windowSystem() {
    static OffscreenSystem system;
    return system;
}

} // namespace winapi

// No event source: a host's message loop delivers every message, as on Windows.
void dispatchWindowEvents(HWND) {}

bool reportEditorOpened(HWND) {
    return true;
}

// The programs linking this system draw text with Cairo as the Linux module does, and so share
// what tests/x11/lsan.supp and tsan.supp say of it: Cairo resolves its toy font face through
// fontconfig once per process and keeps the match (and fontconfig its parsed configuration)
// until the process ends; Cairo's built-in fallback face takes two of Cairo's own locks in
// either order on one thread. The sanitizer runtimes read these at start; leaks and races
// anywhere else still fail.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

extern "C" const char* __tsan_default_suppressions() {
    return "deadlock:libcairo.so\n";
}
