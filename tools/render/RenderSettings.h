// The render tool's settings: asked for in the text panel's units, set to knob positions the
// editor can reach, printed as the panel prints them.
#pragma once

#include <string>

#include "dsp/Parameters.h"

// The positions a knob drag reaches exactly and repeatably: dragged to the bottom (the value
// clamps at 0), then up by n pixels in one move gives float(n x 0.01), n = 0 to 100, the same
// law as the editor's drag (0.01 per pixel, the step rounded to float). The defaults are among
// them. Other values are reachable only through rounding drift over many small drags; nobody
// sets a knob that way, so they are not offered. The engine sees trunc(value x 128): two
// neighbouring positions can give it the same step, and 28 of its 129 steps lie between
// positions (they are what the editor cannot set on purpose either). The panel reads the
// unquantised value, so each position has its own reading.
constexpr int kKnobPositionCount = 101;
float knobPosition(int n);

// The six knobs as command-line options, in the panel's units.
struct KnobOption {
    const char* name; // without the leading dashes
    ParameterIndex parameter;
    const char* format;     // the panel's format for the number and its unit
    double displayHalfStep; // half the last shown digit: 0.05 for "%.1f", 0.5 for "%.0f"
};
extern const KnobOption kKnobOptions[6];

// The knob position whose panel reading (the unrounded number the panel line shows) is nearest
// `asked`; on a tie the lower position. The reachable range runs from the reading at 0 to the
// reading at 1, widened by half a shown digit, so that every value the panel can show (such as
// "Thr -0.0 dB" for 0) may be asked for. Outside it: false, with `error` naming the range.
bool nearestKnobPosition(const KnobOption& option, double asked, float& position,
                         std::string& error);

// The seven panel lines for these values, joined by " | ".
std::string settingsLine(const ParameterValues& values);
