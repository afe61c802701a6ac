// WM_PAINT: composes the whole panel off-screen in the back buffer (background, knobs, lamps,
// text, level bars) and copies it to the window in one blit.
#include <algorithm>
#include <atomic>
#include <cmath>

#include "editor/CompressorEditor.h"
#include "editor/EditorLayout.h"
#include "editor/PanelText.h"
#include "plugin/CompressorEffect.h"
#include "plugin/PluginIdentity.h"

static_assert(layout::kTextLineCount == kPanelLineCount, "one panel line per text row");

namespace {

constexpr int kWidth = identity::kEditorWidth;
constexpr int kHeight = identity::kEditorHeight;

// A bar length: truncated toward zero, at most 79 pixels. Far negative lengths are held at a
// value that draws the same, so that the conversion to int stays defined.
int barLength(double length) {
    const double truncated = std::trunc(length);
    if (!(truncated <= layout::kBarMaxLength)) {
        return layout::kBarMaxLength;
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
    const RECT area = {left, top, right, top + layout::kBarHeight};
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
        const int frame = quantiseParameter(compressor->parameter(knob.parameter));
        drawBitmap(memoryDc, knobStripBitmap, knob.drawX, layout::kKnobY, layout::kKnobWidth,
                   layout::kKnobDrawHeight, layout::kKnobWidth * frame, 0);
    }

    for (const layout::Switch& lamp : layout::kSwitches) {
        if (compressor->parameter(lamp.parameter) > 0.0f) {
            drawBitmap(memoryDc, lampBitmap, lamp.lampX, layout::kLampY, layout::kLampWidth,
                       layout::kLampHeight, 0, 0);
        }
    }

    TextLine lines[kPanelLineCount];
    panelLines(compressor->parameters, lines);
    for (int i = 0; i < layout::kTextLineCount; ++i) {
        SetBkMode(memoryDc, TRANSPARENT);
        SetTextColor(memoryDc, layout::kTextColour);
        TextOutA(memoryDc, layout::kTextX, layout::kTextTop + i * layout::kTextPitch, lines[i].text,
                 lines[i].length);
    }

    // Each meter value is read once: the same value decides the length and the colour.
    const float inputPeak = compressor->inputPeak.load(std::memory_order_relaxed);
    const float threshold = compressor->engine.thresholdLevel.load(std::memory_order_relaxed);
    const float gain = compressor->engine.smoothedGain.load(std::memory_order_relaxed);
    const float outputPeak = compressor->outputPeak.load(std::memory_order_relaxed);

    const int inputLength = barLength(std::atan(2.0 * inputPeak) * layout::kBarMaxLength);
    const COLORREF inputColour = inputPeak > 1.0f        ? layout::kOverFullScaleColour
                                 : inputPeak > threshold ? layout::kOverThresholdColour
                                                         : layout::kLevelColour;
    fillBar(memoryDc, layout::kInputBarLeft, layout::kInputBarTop,
            layout::kInputBarLeft + inputLength, inputColour);

    const int gainLength = barLength(static_cast<double>(gain) * layout::kBarMaxLength);
    fillBar(memoryDc, layout::kGainBarLeft + gainLength, layout::kGainBarTop, layout::kGainBarRight,
            layout::kGainColour);

    const int outputLength = barLength(std::atan(2.0 * outputPeak) * layout::kBarMaxLength);
    const COLORREF outputColour =
        outputPeak > 1.0f ? layout::kOverFullScaleColour : layout::kLevelColour;
    fillBar(memoryDc, layout::kOutputBarLeft, layout::kOutputBarTop,
            layout::kOutputBarLeft + outputLength, outputColour);

    SelectObject(memoryDc, previousFont);
    BitBlt(windowDc, 0, 0, kWidth, kHeight, memoryDc, 0, 0, SRCCOPY);
    SelectObject(memoryDc, previousBitmap);
    EndPaint(target, &paintInfo);
    DeleteDC(memoryDc);
}
