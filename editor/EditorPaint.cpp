// WM_PAINT: composes the whole panel off-screen in the back buffer (background, knobs, lamps,
// text, level bars) and copies it to the window in one blit.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "editor/CompressorEditor.h"
#include "editor/EditorLayout.h"
#include "editor/PanelText.h"

static_assert(panel::kTextLineCount == kPanelLineCount, "one panel line per text row");

namespace {

constexpr int kWidth = panel::kWidth;
constexpr int kHeight = panel::kHeight;

// A bar length: truncated toward zero, at most 79 pixels. Far negative lengths are held at a
// value that draws the same, so that the conversion to int stays defined.
int barLength(double length) {
    const double truncated = std::trunc(length);
    if (!(truncated <= panel::kMeterSlotLength)) {
        return panel::kMeterSlotLength;
    }
    if (truncated < -4096.0) {
        return -4096;
    }
    return static_cast<int>(truncated);
}

// Copies part of a bitmap into `target` through a DC made and deleted for it.
void drawBitmap(HDC target, HBITMAP bitmap, int x, int y, int width, int height, int sourceX,
                int sourceY) {
    const HDC source = CreateCompatibleDC(target);
    const HGDIOBJ previous = SelectObject(source, bitmap);
    BitBlt(target, x, y, width, height, source, sourceX, sourceY, SRCCOPY);
    SelectObject(source, previous);
    DeleteDC(source);
}

// Fills left/top inclusive, right/bottom exclusive; an empty rectangle paints nothing.
void fillBar(HDC target, int left, int top, int right, COLORREF colour) {
    const RECT area = {left, top, right, top + panel::kMeterSlotHeight};
    const HBRUSH brush = CreateSolidBrush(colour);
    FillRect(target, &area, brush);
    DeleteObject(brush);
}

} // namespace

void CompressorEditor::paint(HWND target) {
    // The update region is not consulted: every paint composes and copies the whole window.
    PAINTSTRUCT paintInfo;
    const HDC windowDc = BeginPaint(target, &paintInfo);
    const HDC memoryDc = CreateCompatibleDC(windowDc);
    if (backBuffer == nullptr) {
        // Compatible with the window DC: a fresh memory DC would give a monochrome bitmap.
        backBuffer = CreateCompatibleBitmap(windowDc, kWidth, kHeight);
    }
    const HGDIOBJ previousBitmap = SelectObject(memoryDc, backBuffer);
    const HGDIOBJ previousFont = SelectObject(memoryDc, textFont);

    drawBitmap(memoryDc, backgroundBitmap, 0, 0, kWidth, kHeight, 0, 0);

    for (const layout::Knob& knob : layout::kKnobs) {
        // The same frame number the block wrapper puts into the snapshot: trunc(p x 128).
        const int frame = quantiseParameter(view.parameter(knob.parameter));
        drawBitmap(memoryDc, knobStripBitmap, knob.draw.x, knob.draw.y, panel::kFrameSize,
                   panel::kKnobShownHeight, panel::kFrameSize * frame, 0);
    }

    for (const layout::Switch& lamp : layout::kSwitches) {
        if (view.parameter(lamp.parameter) > 0.0f) {
            drawBitmap(memoryDc, lampBitmap, lamp.lamp.x, lamp.lamp.y, panel::kLampWidth,
                       panel::kLampHeight, 0, 0);
        }
    }

    TextLine lines[kPanelLineCount];
    panelLines(view.parameters, lines);
    for (int i = 0; i < panel::kTextLineCount; ++i) {
        SetBkMode(memoryDc, TRANSPARENT);
        SetTextColor(memoryDc, layout::kTextColour);
        TextOutA(memoryDc, panel::kTextX, panel::kTextTop + i * panel::kTextPitch, lines[i].text,
                 lines[i].length);
    }

    // Each meter value is read once: the same value decides the length and the colour.
    const float inputPeak = view.inputPeak.load(std::memory_order_relaxed);
    const float threshold = view.threshold.load(std::memory_order_relaxed);
    const float gain = view.gain.load(std::memory_order_relaxed);
    const float outputPeak = view.outputPeak.load(std::memory_order_relaxed);

    const int inputLength = barLength(std::atan(2.0 * inputPeak) * panel::kMeterSlotLength);
    const COLORREF inputColour = inputPeak > 1.0f        ? layout::kOverFullScaleColour
                                 : inputPeak > threshold ? layout::kOverThresholdColour
                                                         : layout::kLevelColour;
    fillBar(memoryDc, panel::kMeterSlotX, panel::kMeterSlotY[0], panel::kMeterSlotX + inputLength,
            inputColour);

    const int gainLength = barLength(static_cast<double>(gain) * panel::kMeterSlotLength);
    fillBar(memoryDc, panel::kGainBarLeft + gainLength, panel::kMeterSlotY[1], panel::kGainBarRight,
            layout::kGainColour);

    const int outputLength = barLength(std::atan(2.0 * outputPeak) * panel::kMeterSlotLength);
    const COLORREF outputColour =
        outputPeak > 1.0f ? layout::kOverFullScaleColour : layout::kLevelColour;
    fillBar(memoryDc, panel::kMeterSlotX, panel::kMeterSlotY[2], panel::kMeterSlotX + outputLength,
            outputColour);

    SelectObject(memoryDc, previousFont);
    BitBlt(windowDc, 0, 0, kWidth, kHeight, memoryDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previousBitmap);
    EndPaint(target, &paintInfo);
    DeleteDC(memoryDc);
}
