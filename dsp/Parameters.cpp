#include "dsp/Parameters.h"

#include <cmath>

const ParameterInfo kParameterTable[kParameterCount] = {
    {"Threshold", ParameterKind::Continuous, 0.5f},
    {"Ratio", ParameterKind::Continuous, 0.5f},
    {"Attack", ParameterKind::Continuous, 0.18f},
    {"Release", ParameterKind::Continuous, 0.23f},
    {"Active", ParameterKind::Switch, 1.0f},
    {"Limiter", ParameterKind::Switch, 0.0f},
    {"Output", ParameterKind::Continuous, 0.63f},
    {"Softclip", ParameterKind::Switch, 1.0f},
    {"Depth", ParameterKind::Continuous, 0.0f},
    {"AutoMakeUp", ParameterKind::Switch, 0.0f},
};

std::uint8_t quantiseParameter(float value) {
    // 128 is a power of two, so the product is exact. std::trunc does not depend on the
    // rounding mode. Values the 64-bit conversion cannot represent (NaN, |v| >= 2^63) give the
    // processor's "integer indefinite" (0x8000000000000000), whose low byte is 0: the same
    // answer, without undefined behaviour.
    const float product = value * 128.0f;
    const double truncated = std::trunc(static_cast<double>(product));
    if (!(truncated > -9223372036854775808.0 && truncated < 9223372036854775808.0)) {
        return 0;
    }
    return static_cast<std::uint8_t>(static_cast<std::int64_t>(truncated) & 0xFF);
}

ParamBytes snapshotParameters(const ParameterValues& values) {
    ParamBytes snapshot;
    for (int i = 0; i < kParameterCount; ++i) {
        snapshot.bytes[i] = quantiseParameter(values[i].load(std::memory_order_relaxed));
    }
    return snapshot;
}

void setDefaultParameters(ParameterValues& values) {
    for (int i = 0; i < kParameterCount; ++i) {
        values[i].store(kParameterTable[i].defaultValue, std::memory_order_relaxed);
    }
}
