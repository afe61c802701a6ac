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

void panelLines(const ParameterValues& values, TextLine (&lines)[kPanelLineCount]) {
    const auto parameter = [&values](ParameterIndex index) {
        return values[index].load(std::memory_order_relaxed);
    };
    const auto p = [&parameter](ParameterIndex index) {
        return static_cast<double>(parameter(index));
    };

    const double threshold = p(Threshold) * kKnobScale;
    lines[0] = formatLine("Thr %.1f dB", 20.0 * std::log10(threshold * threshold + kFloor));

    if (parameter(Limiter) == 0.0f) {
        lines[1] = formatLine("Rat %.1f:1", p(Ratio) * p(Ratio) * 19.0 + 1.0);
    } else {
        lines[1] = plainLine("Limiter");
    }

    lines[2] = formatLine("Atk %.1f ms", p(Attack) * p(Attack) * 199.9 + 0.1);
    lines[3] = formatLine("Rls %.0f ms", p(Release) * p(Release) * 2950.0 + 50.0);
    lines[4] = formatLine("Dph %.0f%%", p(Depth) * 100.0);

    if (parameter(AutoMakeUp) == 0.0f) {
        // Through the linear gain and back, as the engine sees it.
        const double exponent = (p(Output) - 0.5) * 40.0 * kOutputStep;
        lines[5] = formatLine("Out %.1f dB", 20.0 * std::log10(std::pow(10.0, exponent)));
    } else {
        lines[5] = plainLine("Auto Make-Up");
    }

    lines[6] = plainLine(parameter(Softclip) == 0.0f ? "Normal" : "Softclip");
}
