// The plug-in's editor: a fixed 550 x 170 child window in the host's window, painted from three
// bitmaps and driven by the left mouse button. It reads and writes the effect's values
// through its view of them and tells the host nothing.
#pragma once

#include <windows.h>

#include <cstdint>

#include "editor/EditorView.h"
#include "host/EditorBase.h"

// Editor windows open in the process, over all instances. The window class is registered when
// this goes from 0 to 1 and unregistered when it returns to 0. User-interface thread only.
extern std::int32_t editorClassUseCount;

// The editor's rectangle, 550 x 170 at the origin; every instance hands out this one record.
extern const ERect editorRect;

// The window procedure of the editor class. It finds its editor through GWLP_USERDATA.
LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class CompressorEditor : public EditorBase {
public:
    // Makes nothing yet: the text font and the three bitmaps are made by the first open. The
    // view's references must outlive the editor.
    CompressorEditor(EffectBase* owner, const EditorView& view, const EditorNames& names);
    // Takes down a window the host left open, then deletes the GDI objects.
    ~CompressorEditor() override;

    VstInt32 getRect(ERect** rect) override;
    VstInt32 open(void* parent) override;
    void close() override;
    void idle() override;
    void update() override;

    // Read-only views for tests and tools.
    HWND windowHandle() const { return window; }
    HBITMAP backgroundHandle() const { return backgroundBitmap; }
    HBITMAP knobStripHandle() const { return knobStripBitmap; }
    HBITMAP lampHandle() const { return lampBitmap; }
    HFONT fontHandle() const { return textFont; }
    HBITMAP backBufferHandle() const { return backBuffer; }
    bool isOpen() const { return holdsClassUse; }
    int draggedKnob() const { return activeKnob; } // 0: no drag; 1 to 6: the knob dragged
    int dragY() const { return dragLastY; }

private:
    friend LRESULT CALLBACK editorWindowProc(HWND, UINT, WPARAM, LPARAM);

    // Painting (EditorPaint.cpp).
    void paint(HWND target);
    // Mouse (EditorMouse.cpp). x and y are the message's unsigned 16-bit client coordinates.
    void onButtonDown(HWND target, unsigned x, unsigned y);
    void onMouseMove(HWND target, unsigned x, unsigned y);
    void onButtonUp();
    void onCaptureChanged(HWND target, HWND newCapture);

    // The window is gone, whoever destroyed it (the host may take its own window down, and
    // our child with it, before it closes the editor): never touch that handle again.
    void onWindowDestroyed(HWND target);
    // Destroys the window (if one still exists) and gives back this editor's class use.
    void releaseWindow();
    // Creates the text font and loads the three bitmaps from the library's resources, each
    // that does not exist yet.
    void makeResources();

    const EditorView view;
    const EditorNames names;
    HWND window = nullptr;
    HBITMAP backgroundBitmap = nullptr;
    HBITMAP knobStripBitmap = nullptr;
    HBITMAP lampBitmap = nullptr;
    HFONT textFont = nullptr;
    HBITMAP backBuffer = nullptr; // made by the first paint, kept until destruction
    bool holdsClassUse = false;   // between open and close: counts in editorClassUseCount

    // Drag state: touched only on the user-interface thread.
    std::uint8_t activeKnob = 0; // 0: no drag; 1 to 6: the knob being dragged
    std::int32_t dragLastY = 0;  // client y of the last press or handled drag step
};
