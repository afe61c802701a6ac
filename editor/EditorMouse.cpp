// The left button and pointer movement: knob drags, switch clicks, the maker's link and the
// pointer shape. Values go straight into the effect's view; the host is told nothing.
#include <windows.h>
// After <windows.h>, which it needs and does not include itself.
#include <shellapi.h>

#include <cstdint>

#include "editor/CompressorEditor.h"
#include "editor/EditorLayout.h"

void CompressorEditor::onButtonDown(HWND target, unsigned x, unsigned y) {
    dragLastY = static_cast<std::int32_t>(y);

    if (layout::inLinkArea(x, y)) {
        ShellExecuteA(nullptr, "open", names.linkTarget, nullptr, nullptr, SW_SHOWNORMAL);
    }

    // A press outside every knob leaves the drag state as it was.
    for (int i = 0; i < panel::kKnobCount; ++i) {
        if (layout::inKnobArea(layout::kKnobs[i], x, y)) {
            activeKnob = static_cast<std::uint8_t>(i + 1);
        }
    }

    // Switches toggle on the press.
    for (const layout::Switch& lamp : layout::kSwitches) {
        if (layout::inSwitchArea(lamp, x, y)) {
            const float value = view.parameter(lamp.parameter);
            view.setParameter(lamp.parameter, value == 0.0f ? 1.0f : 0.0f);
        }
    }

    SetCapture(target);
    InvalidateRect(target, nullptr, FALSE);
}

void CompressorEditor::onMouseMove(HWND target, unsigned x, unsigned y) {
    // Below the window, or (read unsigned) anywhere above it: ignored, and dragLastY stays, so
    // the whole distance is applied once the pointer is back.
    if (y > static_cast<unsigned>(layout::kLargestMoveY)) {
        return;
    }

    SetCursor(LoadCursorA(nullptr, layout::inLinkArea(x, y) ? IDC_HAND : IDC_ARROW));

    if (activeKnob < 1 || activeKnob > panel::kKnobCount) {
        return;
    }
    const ParameterIndex parameter = layout::kKnobs[activeKnob - 1].parameter;
    const auto pointerY = static_cast<std::int32_t>(y);

    // Upward travel raises the value by 0.01 per pixel; the step is rounded to float, the sum
    // is formed in double and clamped to 0..1 after every step, so overshoot is forgotten.
    const auto step =
        static_cast<float>(static_cast<double>(dragLastY - pointerY) * layout::kDragPerPixel);
    const double sum = static_cast<double>(view.parameter(parameter)) + step;
    float value = 0.0f;
    if (sum < 0.0) {
        value = 0.0f;
    } else if (sum > 1.0) {
        value = 1.0f;
    } else {
        value = static_cast<float>(sum);
    }
    view.setParameter(parameter, value);
    dragLastY = pointerY;
    InvalidateRect(target, nullptr, FALSE);
}

void CompressorEditor::onButtonUp() {
    activeKnob = 0;
    ReleaseCapture();
}

void CompressorEditor::onCaptureChanged(HWND target, HWND newCapture) {
    // The drag ends when another window takes the capture or it is released, whether or not a
    // button-up reached us. Taking the capture again ourselves (a new press) is no loss.
    if (newCapture != target) {
        activeKnob = 0;
    }
}
