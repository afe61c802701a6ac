#include "editor/PanelText.h"

#include <algorithm>
#include <cstdio>

#include "dsp/ParameterLaws.h"

namespace {

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
    const auto reading = [&parameter](ParameterIndex index) {
        return laws::reading(index, parameter(index));
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
