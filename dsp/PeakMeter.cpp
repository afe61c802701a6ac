#include "dsp/PeakMeter.h"

#include <cmath>

namespace {

// Raises the meter to a finite magnitude above it. The comparison is strict, so a NaN never
// raises it; an infinite magnitude is refused as well, so the meter always falls back.
bool raise(double& level, float sample) {
    const double magnitude = std::fabs(static_cast<double>(sample));
    if (std::isfinite(magnitude) && magnitude > level) {
        level = magnitude;
        return true;
    }
    return false;
}

} // namespace

void updatePeakMeter(std::atomic<float>& meter, const float* left, const float* right,
                     std::int32_t count) {
    // The release step, stored as a negative double constant and added.
    constexpr double kRelease = -0.0001;

    double level = meter.load(std::memory_order_relaxed);
    for (std::int32_t k = 0; k < count; ++k) {
        if (raise(level, left[k])) {
            meter.store(static_cast<float>(level), std::memory_order_relaxed);
        }
        if (raise(level, right[k])) {
            meter.store(static_cast<float>(level), std::memory_order_relaxed);
        }
        if (level > 0.0) {
            level = level + kRelease;
            meter.store(static_cast<float>(level), std::memory_order_relaxed);
        }
    }
}
