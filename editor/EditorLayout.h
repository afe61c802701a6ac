// The editor's side of the panel layout (editor/PanelLayout.h): which parameter each knob and
// lamp stands for, the Win32 colours and font, and the mouse's hit tests.
#pragma once

#include <windows.h>

#include "dsp/Parameters.h"
#include "editor/PanelLayout.h"

namespace layout {

struct Knob {
    ParameterIndex parameter;
    panel::Point draw;
    panel::Span clickColumns;
};

// In drawing order, left to right on screen; knob n (the drag state value) is entry n - 1.
constexpr Knob kKnobs[panel::kKnobCount] = {
    {Attack, panel::kKnobPos[0], panel::kKnobClickColumns[0]},    // 1
    {Release, panel::kKnobPos[1], panel::kKnobClickColumns[1]},   // 2
    {Output, panel::kKnobPos[2], panel::kKnobClickColumns[2]},    // 3
    {Ratio, panel::kKnobPos[3], panel::kKnobClickColumns[3]},     // 4
    {Threshold, panel::kKnobPos[4], panel::kKnobClickColumns[4]}, // 5
    {Depth, panel::kKnobPos[5], panel::kKnobClickColumns[5]},     // 6
};

struct Switch {
    ParameterIndex parameter;
    panel::Point lamp;
    panel::Span clickColumns;
};

constexpr Switch kSwitches[panel::kLampCount] = {
    {AutoMakeUp, panel::kLampPos[0], panel::kLampClickColumns[0]},
    {Limiter, panel::kLampPos[1], panel::kLampClickColumns[1]},
    {Softclip, panel::kLampPos[2], panel::kLampClickColumns[2]},
};

// ---- Text.
constexpr int kFontHeight = 10;
constexpr const char* kFontFace = "Lucida Console";

// ---- Colours.
constexpr COLORREF colour(panel::Rgb c) {
    return RGB(c.r, c.g, c.b);
}
constexpr COLORREF kTextColour = colour(panel::kTextColour);
constexpr COLORREF kOverFullScaleColour = colour(panel::kOverFullScaleColour);
constexpr COLORREF kOverThresholdColour = colour(panel::kOverThresholdColour);
constexpr COLORREF kLevelColour = colour(panel::kLevelColour);
constexpr COLORREF kGainColour = colour(panel::kGainColour);

// ---- Mouse.
constexpr int kLargestMoveY = 170; // movement further down (or, unsigned, above) is ignored
constexpr double kDragPerPixel = panel::kDragPerPixel;

inline bool inArea(panel::Span columns, panel::Span rows, unsigned x, unsigned y) {
    return x >= static_cast<unsigned>(columns.first) && x <= static_cast<unsigned>(columns.last) &&
           y >= static_cast<unsigned>(rows.first) && y <= static_cast<unsigned>(rows.last);
}

inline bool inKnobArea(const Knob& knob, unsigned x, unsigned y) {
    return inArea(knob.clickColumns, panel::kKnobClickRows, x, y);
}

inline bool inSwitchArea(const Switch& lamp, unsigned x, unsigned y) {
    return inArea(lamp.clickColumns, panel::kLampClickRows, x, y);
}

inline bool inLinkArea(unsigned x, unsigned y) {
    return inArea({panel::kLinkLeft, panel::kLinkRight}, {panel::kLinkTop, panel::kLinkBottom}, x,
                  y);
}

} // namespace layout
