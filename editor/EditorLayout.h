// Where everything sits in the 550 x 170 editor window, and its colours. Rectangles of click
// areas are inclusive on all sides; drawing positions are top-left corners.
#pragma once

#include <windows.h>

#include "dsp/Parameters.h"

namespace layout {

// ---- Knobs: film-strip frames drawn at (x, 56), clicked in an area offset to the right.
constexpr int kKnobCount = 6;
constexpr int kKnobWidth = 55;       // one film-strip frame
constexpr int kKnobDrawHeight = 54;  // the strip's bottom row is never shown
constexpr int kKnobFrameCount = 129; // frames 0 (minimum) to 128 (maximum)
constexpr int kKnobY = 56;
constexpr int kKnobClickTop = 59;
constexpr int kKnobClickBottom = 113;

struct Knob {
    ParameterIndex parameter;
    int drawX;
    int clickLeft;
    int clickRight;
};

// In drawing order, left to right on screen; knob n (the drag state value) is entry n - 1.
constexpr Knob kKnobs[kKnobCount] = {
    {Attack, 14, 18, 73},       // 1
    {Release, 74, 78, 133},     // 2
    {Output, 134, 138, 193},    // 3
    {Ratio, 368, 369, 424},     // 4
    {Threshold, 428, 429, 484}, // 5
    {Depth, 488, 489, 544},     // 6
};

// ---- Switch lamps: a lit lamp drawn over the background's unlit socket.
constexpr int kSwitchCount = 3;
constexpr int kLampWidth = 20;
constexpr int kLampHeight = 16;
constexpr int kLampY = 131;
constexpr int kSwitchClickTop = 132;
constexpr int kSwitchClickBottom = 148;

struct Switch {
    ParameterIndex parameter;
    int lampX;
    int clickLeft;
    int clickRight;
};

constexpr Switch kSwitches[kSwitchCount] = {
    {AutoMakeUp, 154, 154, 174},
    {Limiter, 385, 385, 405},
    {Softclip, 503, 503, 523},
};

// ---- The maker's link at the left end of the title band.
constexpr int kLinkLeft = 2;
constexpr int kLinkRight = 105;
constexpr int kLinkTop = 161;
constexpr int kLinkBottom = 169;

// ---- Text panel: seven lines at x 240, 12 pixels apart.
constexpr int kTextX = 240;
constexpr int kTextTop = 40;
constexpr int kTextPitch = 12;
constexpr int kTextLineCount = 7;
constexpr int kFontHeight = 10;
constexpr const char* kFontFace = "Lucida Console";

// ---- Level bars: input and output grow right from x 18, gain grows left from x 97.
constexpr int kBarMaxLength = 79;
constexpr int kInputBarLeft = 18;
constexpr int kInputBarTop = 126;
constexpr int kGainBarLeft = 19;
constexpr int kGainBarRight = 97;
constexpr int kGainBarTop = 135;
constexpr int kOutputBarLeft = 18;
constexpr int kOutputBarTop = 144;
constexpr int kBarHeight = 3;

// ---- Colours.
constexpr COLORREF kTextColour = RGB(52, 68, 97);
constexpr COLORREF kOverFullScaleColour = RGB(255, 60, 60);
constexpr COLORREF kOverThresholdColour = RGB(255, 156, 60);
constexpr COLORREF kLevelColour = RGB(211, 219, 231);
constexpr COLORREF kGainColour = RGB(252, 252, 252);

// ---- Mouse.
constexpr int kLargestMoveY = 170; // movement further down (or, unsigned, above) is ignored
constexpr double kDragPerPixel = 0.01;

inline bool inKnobArea(const Knob& knob, unsigned x, unsigned y) {
    return x >= static_cast<unsigned>(knob.clickLeft) &&
           x <= static_cast<unsigned>(knob.clickRight) && y >= kKnobClickTop &&
           y <= kKnobClickBottom;
}

inline bool inSwitchArea(const Switch& lamp, unsigned x, unsigned y) {
    return x >= static_cast<unsigned>(lamp.clickLeft) &&
           x <= static_cast<unsigned>(lamp.clickRight) && y >= kSwitchClickTop &&
           y <= kSwitchClickBottom;
}

inline bool inLinkArea(unsigned x, unsigned y) {
    return x >= kLinkLeft && x <= kLinkRight && y >= kLinkTop && y <= kLinkBottom;
}

} // namespace layout
