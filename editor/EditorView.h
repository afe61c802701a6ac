// What the editor sees of the processor: the ten values it shows and changes and the readouts
// it draws. The plug-in that owns the editor hands it these references; the editor knows
// nothing else of it.
#pragma once

#include <atomic>

#include "dsp/Parameters.h"

struct EditorView {
    // Shared with the audio thread: relaxed atomic floats, each read and written whole.
    ParameterValues& parameters;
    const std::atomic<float>& inputPeak;
    const std::atomic<float>& outputPeak;
    const std::atomic<float>& gain;      // the gain last applied; 1.0 = no reduction
    const std::atomic<float>& threshold; // T of the last active block

    float parameter(int index) const { return parameters[index].load(std::memory_order_relaxed); }
    void setParameter(int index, float value) const {
        parameters[index].store(value, std::memory_order_relaxed);
    }
};

// The names the editor's window carries, given by the plug-in that names everything.
struct EditorNames {
    const char* windowClass; // the window class every instance registers and shares
    const char* linkTarget;  // opened by a click on the maker's link
};
