// What the editor sees of its effect: the ten values it shows and changes, the readouts it
// draws, and its own drag state. The effect that owns the editor hands it these references;
// the editor knows nothing else of it.
#pragma once

#include <atomic>
#include <cstdint>

#include "dsp/Parameters.h"

struct EditorView {
    // Shared with the audio thread: relaxed atomic floats, each read and written whole.
    ParameterValues& parameters;
    const std::atomic<float>& inputPeak;
    const std::atomic<float>& outputPeak;
    const std::atomic<float>& gain;      // the gain last applied; 1.0 = no reduction
    const std::atomic<float>& threshold; // T of the last active block

    // Drag state: touched only on the UI thread.
    std::uint8_t& activeKnob; // 0: no drag; 1 to 6: the knob being dragged
    std::int32_t& dragLastY;  // client y of the last press or handled drag step

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
