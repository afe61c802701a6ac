#include "editor/CompressorEditor.h"

#include "editor/EditorLayout.h"
#include "platform/ModuleHandle.h"
#include "platform/WindowEvents.h"
#include "resources/ResourceIds.h"

std::int32_t editorClassUseCount = 0;

const ERect editorRect = {0, 0, panel::kHeight, panel::kWidth};

namespace {

constexpr BYTE kAnsiCharSet = 0;

void registerEditorClass(const char* className) {
    WNDCLASSA windowClass{};
    windowClass.style = 0; // no redraw on resize, no double-click messages
    windowClass.lpfnWndProc = editorWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = moduleHandle();
    windowClass.hIcon = nullptr;
    windowClass.hCursor = nullptr;       // the pointer shape is set on every mouse move
    windowClass.hbrBackground = nullptr; // never erased: every paint covers the whole window
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
}

} // namespace

CompressorEditor::CompressorEditor(EffectBase* owner, const EditorView& view,
                                   const EditorNames& names)
    : EditorBase(owner), view(view), names(names) {}

// Hosts make instances by the hundred to scan them and never open most editors: the font and
// the bitmaps (and with them the font machinery and the drawing library's state) are made when
// the first window opens, and kept until the editor goes.
void CompressorEditor::makeResources() {
    if (textFont == nullptr) {
        textFont = CreateFontA(layout::kFontHeight, 0, 0, 0, 0, FALSE, FALSE, FALSE, kAnsiCharSet,
                               0, 0, 0, 0, layout::kFontFace);
    }
    if (backgroundBitmap == nullptr) {
        backgroundBitmap = LoadBitmapA(moduleHandle(), MAKEINTRESOURCEA(IDB_BACKGROUND));
    }
    if (knobStripBitmap == nullptr) {
        knobStripBitmap = LoadBitmapA(moduleHandle(), MAKEINTRESOURCEA(IDB_KNOB_STRIP));
    }
    if (lampBitmap == nullptr) {
        lampBitmap = LoadBitmapA(moduleHandle(), MAKEINTRESOURCEA(IDB_LAMP));
    }
}

CompressorEditor::~CompressorEditor() {
    if (holdsClassUse) {
        // The host deleted the effect with the window still open. The effect is already half
        // destroyed, so the window's last messages must not find this editor: detach first.
        if (window != nullptr) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        }
        releaseWindow();
    }
    DeleteObject(backBuffer);
    DeleteObject(textFont);
    DeleteObject(backgroundBitmap);
    DeleteObject(knobStripBitmap);
    DeleteObject(lampBitmap);
}

VstInt32 CompressorEditor::getRect(ERect** rect) {
    if (rect == nullptr) {
        return 0;
    }
    // Hosts only read the record; it is shared by every instance.
    *rect = const_cast<ERect*>(&editorRect);
    return 1;
}

VstInt32 CompressorEditor::open(void* parent) {
    // A host that opens twice without closing gets the old window replaced, not leaked.
    close();

    makeResources();
    parentWindow = parent;
    ++editorClassUseCount;
    if (editorClassUseCount == 1) {
        registerEditorClass(names.windowClass);
    }
    holdsClassUse = true;

    window = CreateWindowExA(0, names.windowClass, "Window", WS_CHILD | WS_VISIBLE, 0, 0,
                             panel::kWidth, panel::kHeight, static_cast<HWND>(parent), nullptr,
                             moduleHandle(), nullptr);
    if (window != nullptr) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        dispatchWindowEvents(window);
    }
    return reportEditorOpened(window) ? 1 : 0;
}

void CompressorEditor::close() {
    // A close without an open (or a second close) has nothing to give back.
    if (!holdsClassUse) {
        return;
    }
    // A drag does not outlive its window.
    activeKnob = 0;
    releaseWindow();
}

void CompressorEditor::releaseWindow() {
    if (window != nullptr) {
        DestroyWindow(window);
        window = nullptr;
    }
    holdsClassUse = false;
    --editorClassUseCount;
    if (editorClassUseCount == 0) {
        UnregisterClassA(names.windowClass, moduleHandle());
    }
}

void CompressorEditor::onWindowDestroyed(HWND target) {
    if (window == target) {
        window = nullptr;
    }
}

void CompressorEditor::idle() {
    // Every idle call repaints: this is what keeps the meters moving.
    if (window != nullptr) {
        InvalidateRect(window, nullptr, FALSE);
        dispatchWindowEvents(window); // may learn that the window is gone
    }
    EditorBase::idle();
}

void CompressorEditor::update() {
    if (window != nullptr) {
        InvalidateRect(window, nullptr, FALSE);
    }
}
