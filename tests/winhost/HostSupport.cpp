#include "tests/winhost/HostSupport.h"

#include "resources/BmpFile.h"
#include "tests/support/TestHost.h"

#include <cstdio>
#include <cstring>

namespace {

std::vector<HostCall> calls;
bool insideEntry = false;
VstIntPtr versionAnswer = test_host::kVersion;

VstIntPtr VST_CALLBACK recordingCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                         void*, float) {
    calls.push_back(HostCall{opcode, index, value, insideEntry});
    return test_host::versionOnlyAnswer(opcode, versionAnswer);
}

LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    HMODULE module = nullptr;
    char moduleName[MAX_PATH] = "?";
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCSTR>(record->ExceptionAddress), &module);
    if (module != nullptr) {
        GetModuleFileNameA(module, moduleName, sizeof(moduleName));
    }
    const auto address = reinterpret_cast<std::uintptr_t>(record->ExceptionAddress);
    const auto base = reinterpret_cast<std::uintptr_t>(module);
    std::printf("FAIL: the process crashed: exception %s at %s (%s + %s)\n",
                hex(record->ExceptionCode).c_str(), hex(address).c_str(), moduleName,
                hex(address - base).c_str());
    std::fflush(stdout);
    ExitProcess(3);
}

const char kHostClass[] = "QuorvelTestHostWindow";

LRESULT CALLBACK hostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

BOOL CALLBACK countIfEditor(HWND window, LPARAM counter) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof(name));
    if (std::strcmp(name, "VSTEditorClass") == 0) {
        ++*reinterpret_cast<int*>(counter);
    }
    return TRUE;
}

BOOL CALLBACK countInTopLevel(HWND window, LPARAM counter) {
    countIfEditor(window, counter);
    EnumChildWindows(window, countIfEditor, counter);
    return TRUE;
}

} // namespace

void installCrashReporter() {
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(reportCrash);
}

const std::vector<HostCall>& hostCalls() {
    return calls;
}

void setHostVersionAnswer(VstIntPtr answer) {
    versionAnswer = answer;
}

void checkNoHostCallsAfterEntry(const std::string& when) {
    std::string seen;
    for (const HostCall& call : calls) {
        if (!call.duringEntry) {
            seen += " opcode " + std::to_string(call.opcode);
        }
    }
    check(seen.empty(), "the host callback received nothing outside main " + when,
          "received" + seen);
}

std::string windowsPath(const std::string& path) {
    return !path.empty() && path[0] == '/' ? "Z:" + path : path;
}

bool PluginLibrary::load(const std::string& path) {
    handle = LoadLibraryA(windowsPath(path).c_str());
    if (handle == nullptr) {
        check(false, "LoadLibrary " + path, "error " + std::to_string(GetLastError()));
        return false;
    }
#ifdef _WIN64
    const char* const names[] = {"VSTPluginMain", "main"};
#else
    const char* const names[] = {"main"};
#endif
    for (const char* name : names) {
        entry =
            reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
        if (entry != nullptr) {
            entryUsed = name;
            return true;
        }
    }
    check(false, "the DLL exports the entry a host looks for");
    return false;
}

audioMasterCallback PluginLibrary::hostCallback() {
    return &recordingCallback;
}

AEffect* PluginLibrary::newInstance() {
    insideEntry = true;
    AEffect* effect = entry(&recordingCallback);
    insideEntry = false;
    return effect;
}

std::string stringFromOpcode(const Instance& instance, VstInt32 opcode, VstInt32 index,
                             VstIntPtr* answer, std::size_t bufferSize) {
    std::vector<char> buffer(bufferSize, '\x7f');
    buffer.back() = '\0';
    const VstIntPtr result = instance.dispatch(opcode, index, 0, buffer.data());
    if (answer != nullptr) {
        *answer = result;
    }
    return std::string(buffer.data());
}

HWND createHostWindow(const char* title, int x, int y) {
    static bool registered = false;
    HINSTANCE self = GetModuleHandleA(nullptr);
    if (!registered) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = hostWindowProc;
        windowClass.hInstance = self;
        windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        windowClass.lpszClassName = kHostClass;
        registered = RegisterClassA(&windowClass) != 0;
    }
    RECT frame = {0, 0, 550, 170};
    // A popup that is never activated: under an X server with no window manager, Wine waits
    // about two seconds for a managed (captioned or active) window to be withdrawn when it is
    // destroyed.
    const DWORD style = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
    AdjustWindowRect(&frame, style, FALSE);
    HWND window =
        CreateWindowExA(WS_EX_NOACTIVATE, kHostClass, title, style, x, y, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, nullptr, self, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    pumpMessages();
    return window;
}

void pumpMessages(int rounds) {
    for (int round = 0; round < rounds; ++round) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(5);
    }
}

void idleAndPump(const Instance& instance, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        instance.dispatch(effEditIdle);
        pumpMessages(1);
    }
}

int countEditorWindows() {
    int count = 0;
    EnumWindows(countInTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

HWND findEditorWindow(HWND parent) {
    return FindWindowExA(parent, nullptr, "VSTEditorClass", nullptr);
}

bool editorClassRegistered(HMODULE dll) {
    WNDCLASSA info;
    return GetClassInfoA(dll, "VSTEditorClass", &info) != 0;
}

namespace {

// Reads a bitmap into 32-bit top-down pixels.
Picture pictureFromBitmap(HDC dc, HBITMAP bitmap, int width, int height) {
    Picture picture;
    picture.width = width;
    picture.height = height;
    picture.pixels.assign(static_cast<std::size_t>(width) * height, 0);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), picture.pixels.data(), &info,
              DIB_RGB_COLORS);
    for (std::uint32_t& pixel : picture.pixels) {
        pixel &= 0xFFFFFFu;
    }
    return picture;
}

} // namespace

Picture captureWindow(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    HDC windowDc = GetDC(window);
    HDC memoryDc = CreateCompatibleDC(windowDc);
    HBITMAP bitmap = CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ previous = SelectObject(memoryDc, bitmap);
    BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previous);
    Picture picture = pictureFromBitmap(memoryDc, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return picture;
}

Picture loadBitmapResource(HMODULE dll, int id) {
    HANDLE image = LoadImageA(dll, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    if (image == nullptr) {
        check(false, "the DLL has BITMAP resource " + std::to_string(id));
        return Picture();
    }
    HBITMAP bitmap = static_cast<HBITMAP>(image);
    BITMAP header;
    GetObjectA(bitmap, sizeof(header), &header);
    HDC dc = GetDC(nullptr);
    Picture picture = pictureFromBitmap(dc, bitmap, header.bmWidth, header.bmHeight);
    ReleaseDC(nullptr, dc);
    DeleteObject(bitmap);
    return picture;
}

bool writeBmp(const std::string& path, const Picture& picture) {
    return bmp::write(windowsPath(path),
                      bmp::encode(picture.pixels, picture.width, picture.height, 24));
}

DWORD reportedGdiObjects() {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}

int freeGdiHandles() {
    // Every system this host runs on limits a process to at most 65536 GDI handles.
    std::vector<HBRUSH> brushes;
    brushes.reserve(70000);
    while (brushes.size() < 70000) {
        HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
        if (brush == nullptr) {
            break;
        }
        brushes.push_back(brush);
    }
    for (HBRUSH brush : brushes) {
        DeleteObject(brush);
    }
    return static_cast<int>(brushes.size());
}
