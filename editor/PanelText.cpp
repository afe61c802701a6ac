#include "editor/PanelText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The text shows the engine's laws on the unquantised value. Products are formed in double
// precision from the single-precision parameter; 0.01, 0.05 (and 0.5, 100) are the
// single-precision constants of those laws, so they enter as float and are widened.
constexpr double kKnobScale = 128.0 / 128.99;
constexpr double kFloor = static_cast<double>(0.01f);
constexpr double kOutputStep = static_cast<double>(0.05f);

template <typename... Values> TextLine formatLine(const char* format, Values... values) {
    TextLine line{};
    const int written = std::snprintf(line.text, sizeof line.text, format, values...);
    line.length = written < 0 ? 0 : std::min(written, static_cast<int>(sizeof line.text) - 1);
    return line;
}

TextLine plainLine(const char* text) {
    return formatLine("%s", text);
}

} // namespace

double panelReading(ParameterIndex index, float value) {
    const auto v = static_cast<double>(value);
    switch (index) {
    case Threshold: {
        const double threshold = v * kKnobScale;
        return 20.0 * std::log10(threshold * threshold + kFloor);
    }
    case Ratio:
        return v * v * 19.0 + 1.0;
    case Attack:
        return v * v * 199.9 + 0.1;
    case Release:
        return v * v * 2950.0 + 50.0;
    case Depth:
        return v * 100.0;
    case Output: {
        // Through the linear gain and back, as the engine sees it.
        const double exponent = (v - 0.5) * 40.0 * kOutputStep;
        return 20.0 * std::log10(std::pow(10.0, exponent));
    }
    default:
        return 0.0;
    }
}

void panelLines(const ParameterValues& values, TextLine (&lines)[kPanelLineCount]) {
    const auto parameter = [&values](ParameterIndex index) {
        return values[index].load(std::memory_order_relaxed);
    };
    const auto reading = [&parameter](ParameterIndex index) {
        return panelReading(index, parameter(index));
    };

    lines[0] = formatLine("Thr %.1f dB", reading(Threshold));
    if (parameter(Limiter) == 0.0f) {
        lines[1] = formatLine("Rat %.1f:1", reading(Ratio));
    } else {
        lines[1] = plainLine("Limiter");
    }
    lines[2] = formatLine("Atk %.1f ms", reading(Attack));
    lines[3] = formatLine("Rls %.0f ms", reading(Release));
    lines[4] = formatLine("Dph %.0f%%", reading(Depth));
    if (parameter(AutoMakeUp) == 0.0f) {
        lines[5] = formatLine("Out %.1f dB", reading(Output));
    } else {
        lines[5] = plainLine("Auto Make-Up");
    }
    lines[6] = plainLine(parameter(Softclip) == 0.0f ? "Normal" : "Softclip");
}
