// The editor window's procedure: finds the editor, hands the mouse and paint messages to it,
// and passes every message on to the default procedure.
#include <cstdint>

#include "editor/CompressorEditor.h"

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* editor = reinterpret_cast<CompressorEditor*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (editor == nullptr) {
        // Messages of window creation arrive before the editor has stored itself.
        return DefWindowProcA(window, message, wParam, lParam);
    }

    // Client coordinates as unsigned 16-bit numbers: with the capture taken, a pointer left of
    // or above the window arrives as a large x or y, never a negative one.
    const auto packed = static_cast<std::uint32_t>(lParam);
    const unsigned x = packed & 0xFFFFu;
    const unsigned y = (packed >> 16) & 0xFFFFu;

    switch (message) {
    case WM_LBUTTONDOWN:
        editor->onButtonDown(window, x, y);
        break;
    case WM_LBUTTONUP:
        editor->onButtonUp();
        break;
    case WM_MOUSEMOVE:
        editor->onMouseMove(window, x, y);
        break;
    case WM_CAPTURECHANGED:
        editor->onCaptureChanged(window, reinterpret_cast<HWND>(lParam));
        break;
    case WM_PAINT:
        editor->paint(window);
        break;
    case WM_NCDESTROY:
        editor->onWindowDestroyed(window);
        break;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
