// The parameter laws: how a knob's position becomes the quantity the engine works with and the
// number the text panel shows. The engine applies them to its snapshot byte's fraction
// (byte / 128, exact), the text panel and the render tool to the unquantised value in 0..1;
// both go through these functions and constants, so the shown and the processed value cannot
// drift apart. Double precision throughout; constants written with an f suffix are
// single-precision values that enter widened, exactly as they are.
#pragma once

#include <cmath>
#include <cstdint>

#include "dsp/Parameters.h"

namespace laws {

// Threshold: the squared position plus a floor, as an amplitude. The engine scales the byte by
// the single-precision 1/128.99 (bit pattern 0x3BFE0902), so byte 128 sets the threshold just
// under full scale (0.994709, -0.046 dB); the panel scales the value by 128 / 128.99.
constexpr float kThresholdPerByte = 0.007752538658678532f;
constexpr double kThresholdPerValue = 128.0 / 128.99;
constexpr float kThresholdFloor = 0.01f;

inline double thresholdLevel(double scaledPosition) {
    return scaledPosition * scaledPosition + static_cast<double>(kThresholdFloor);
}

// Ratio 1:1 to 20:1, attack 0.1 to 200 ms, release 50 to 3000 ms: each rises with the square of
// the position.
inline double ratio(double position) {
    return 1.0 + 19.0 * (position * position);
}
inline double attackMs(double position) {
    return 0.1 + 199.9 * (position * position);
}
inline double releaseMs(double position) {
    return 50.0 + 2950.0 * (position * position);
}

// Output: -20 to +20 dB, 0 dB at the middle. The engine counts 0.3125 dB per byte from byte 64;
// the panel takes (value - 0.5) x 40 dB. The gain is 10^(dB x 0.05).
constexpr float kOutputCentreByte = -64.0f; // added to the byte
constexpr float kOutputDecibelsPerByte = 0.3125f;
constexpr double kOutputRangeDecibels = 40.0;
constexpr float kDecibelsToExponent = 0.05f;

inline double outputDecibelsOfByte(std::uint8_t byte) {
    return (byte + static_cast<double>(kOutputCentreByte)) *
           static_cast<double>(kOutputDecibelsPerByte);
}
inline double outputDecibelsOfValue(double value) {
    return (value - 0.5) * kOutputRangeDecibels;
}
inline double gainOfDecibels(double decibels) {
    return std::pow(10.0, decibels * static_cast<double>(kDecibelsToExponent));
}

// Depth 0 to 100 %: the gain reduction is scaled by (1 - position)^2.
inline double depthPercent(double position) {
    return position * 100.0;
}
inline double depthFactor(double position) {
    const double remaining = 1.0 - position;
    return remaining * remaining;
}

// The number the panel shows for one knob's value, unrounded, in its unit: threshold and
// output in dB, ratio in :1, attack and release in ms, depth in %. 0 for the switches.
double reading(ParameterIndex index, float value);

} // namespace laws
