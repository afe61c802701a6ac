#include "tools/render/RenderSettings.h"

#include <cmath>
#include <cstdio>

#include "dsp/ParameterLaws.h"
#include "editor/PanelLayout.h"
#include "editor/PanelText.h"

namespace {

std::string formatted(const char* format, double value) {
    char text[48];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

const KnobOption kKnobOptions[6] = {
    {"threshold", Threshold, "%.1f dB", 0.05}, {"ratio", Ratio, "%.1f:1", 0.05},
    {"attack", Attack, "%.1f ms", 0.05},       {"release", Release, "%.0f ms", 0.5},
    {"depth", Depth, "%.0f%%", 0.5},           {"output", Output, "%.1f dB", 0.05},
};

float knobPosition(int n) {
    return static_cast<float>(static_cast<double>(n) * panel::kDragPerPixel);
}

bool nearestKnobPosition(const KnobOption& option, double asked, float& position,
                         std::string& error) {
    // Every panel law rises with the knob, so the ends of the range are the two end positions.
    const double low = laws::reading(option.parameter, knobPosition(0));
    const double high = laws::reading(option.parameter, knobPosition(kKnobPositionCount - 1));
    if (!(asked >= low - option.displayHalfStep && asked <= high + option.displayHalfStep)) {
        error = "--" + std::string(option.name) + " " + formatted("%g", asked) +
                " is outside the reachable range " + formatted(option.format, low) + " to " +
                formatted(option.format, high);
        return false;
    }
    int best = 0;
    double bestDistance = INFINITY;
    for (int n = 0; n < kKnobPositionCount; ++n) {
        const double distance = std::fabs(laws::reading(option.parameter, knobPosition(n)) - asked);
        if (distance < bestDistance) {
            best = n;
            bestDistance = distance;
        }
    }
    position = knobPosition(best);
    return true;
}

std::string settingsLine(const ParameterValues& values) {
    TextLine lines[kPanelLineCount];
    panelLines(values, lines);
    std::string text;
    for (const TextLine& line : lines) {
        if (!text.empty()) {
            text += " | ";
        }
        text.append(line.text, static_cast<std::size_t>(line.length));
    }
    return text;
}
