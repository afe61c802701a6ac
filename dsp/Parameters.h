// The ten parameters: indices, names, kinds, defaults, and the per-block ParamBytes snapshot.
#pragma once

#include <atomic>
#include <cstdint>

enum ParameterIndex : int {
    Threshold = 0,
    Ratio = 1,
    Attack = 2,
    Release = 3,
    Active = 4,
    Limiter = 5,
    Output = 6,
    Softclip = 7,
    Depth = 8,
    AutoMakeUp = 9,
};

constexpr int kParameterCount = 10;

enum class ParameterKind { Continuous, Switch };

struct ParameterInfo {
    const char* name;
    ParameterKind kind;
    float defaultValue;
};

extern const ParameterInfo kParameterTable[kParameterCount];

// The values shared between the editor (writer) and the audio thread (reader): one relaxed
// atomic float each, read and written whole.
using ParameterValues = std::atomic<float>[kParameterCount];

// Byte i = trunc(parameter i x 128), low 8 bits: 0 to 128 for values in 0..1.
struct ParamBytes {
    std::uint8_t bytes[kParameterCount];
};

// Quantises one normalised value: the product with 128 converted to a 64-bit integer with
// truncation toward zero (independent of the rounding mode), low 8 bits kept.
std::uint8_t quantiseParameter(float value);

// Builds the snapshot from the ten shared values, each read once.
ParamBytes snapshotParameters(const ParameterValues& values);

// Stores the defaults of the parameter table.
void setDefaultParameters(ParameterValues& values);
