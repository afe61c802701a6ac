#include "dsp/ParameterLaws.h"

namespace laws {

double reading(ParameterIndex index, float value) {
    const auto v = static_cast<double>(value);
    switch (index) {
    case Threshold:
        return 20.0 * std::log10(thresholdLevel(v * kThresholdPerValue));
    case Ratio:
        return ratio(v);
    case Attack:
        return attackMs(v);
    case Release:
        return releaseMs(v);
    case Depth:
        return depthPercent(v);
    case Output:
        // Through the linear gain and back, as the engine sees it.
        return 20.0 * std::log10(gainOfDecibels(outputDecibelsOfValue(v)));
    default:
        return 0.0;
    }
}

} // namespace laws
