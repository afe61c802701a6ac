// WM_PAINT: composes the whole panel off-screen in the back buffer (background, knobs, lamps,
// text, level bars) and copies it to the window in one blit.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

#include "editor/CompressorEditor.h"
#include "editor/EditorLayout.h"
#include "plugin/CompressorEffect.h"
#include "plugin/PluginIdentity.h"

namespace {

constexpr int kWidth = identity::kEditorWidth;
constexpr int kHeight = identity::kEditorHeight;

// The text shows the engine's laws on the unquantised value. Products are formed in double
// precision from the single-precision parameter; 0.01, 0.05 (and 0.5, 100) are the
// single-precision constants of those laws, so they enter as float and are widened.
constexpr double kKnobScale = 128.0 / 128.99;
constexpr double kFloor = static_cast<double>(0.01f);
constexpr double kOutputStep = static_cast<double>(0.05f);

struct TextLine {
    char text[48];
    int length;
};

template <typename... Values> TextLine formatLine(const char* format, Values... values) {
    TextLine line{};
    const int written = std::snprintf(line.text, sizeof line.text, format, values...);
    line.length = written < 0 ? 0 : std::min(written, static_cast<int>(sizeof line.text) - 1);
    return line;
}

TextLine plainLine(const char* text) {
    return formatLine("%s", text);
}

// The seven panel lines, top to bottom.
void panelLines(const CompressorEffect& effect, TextLine (&lines)[layout::kTextLineCount]) {
    const auto p = [&effect](ParameterIndex index) {
        return static_cast<double>(effect.parameter(index));
    };

    const double threshold = p(Threshold) * kKnobScale;
    lines[0] = formatLine("Thr %.1f dB", 20.0 * std::log10(threshold * threshold + kFloor));

    if (effect.parameter(Limiter) == 0.0f) {
        lines[1] = formatLine("Rat %.1f:1", p(Ratio) * p(Ratio) * 19.0 + 1.0);
    } else {
        lines[1] = plainLine("Limiter");
    }

    lines[2] = formatLine("Atk %.1f ms", p(Attack) * p(Attack) * 199.9 + 0.1);
    lines[3] = formatLine("Rls %.0f ms", p(Release) * p(Release) * 2950.0 + 50.0);
    lines[4] = formatLine("Dph %.0f%%", p(Depth) * 100.0);

    if (effect.parameter(AutoMakeUp) == 0.0f) {
        // Through the linear gain and back, as the engine sees it.
        const double exponent = (p(Output) - 0.5) * 40.0 * kOutputStep;
        lines[5] = formatLine("Out %.1f dB", 20.0 * std::log10(std::pow(10.0, exponent)));
    } else {
        lines[5] = plainLine("Auto Make-Up");
    }

    lines[6] = plainLine(effect.parameter(Softclip) == 0.0f ? "Normal" : "Softclip");
}

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

    TextLine lines[layout::kTextLineCount];
    panelLines(*compressor, lines);
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
