// Where everything sits on the 550 x 170 panel, and the colours the editor draws with: read by
// the editor (painting, hit tests), by the bitmap generator (tools/bitmaps) and by the tests.
// Free of Win32. Click rectangles are inclusive on all sides; drawing positions are top-left
// corners.
#pragma once

namespace panel {

struct Rgb {
    int r, g, b;
};

struct Point {
    int x, y;
};

struct Span {
    int first, last; // inclusive
};

// The whole panel (background bitmap, editor window).
constexpr int kWidth = 550;
constexpr int kHeight = 170;

// ---- Knobs: film-strip frames of kFrameSize x kFrameSize side by side; the editor shows the top
// kKnobShownHeight rows of a frame at each knob position and takes clicks in an area offset to
// the right. In drawing order, left to right; knob n (the drag state value) is entry n - 1.
constexpr int kKnobCount = 6;
constexpr int kKnobFrames = 129; // frames 0 (minimum) to 128 (maximum)
constexpr int kFrameSize = 55;
constexpr int kKnobShownHeight = 54; // the strip's bottom row is never shown
constexpr int kStripWidth = kKnobFrames * kFrameSize;
constexpr Point kKnobPos[kKnobCount] = {{14, 56},  {74, 56},  {134, 56},
                                        {368, 56}, {428, 56}, {488, 56}};
constexpr Span kKnobClickColumns[kKnobCount] = {{18, 73},   {78, 133},  {138, 193},
                                                {369, 424}, {429, 484}, {489, 544}};
constexpr Span kKnobClickRows = {59, 113};

// ---- Switch lamps: a lit lamp drawn over the background's unlit socket.
constexpr int kLampCount = 3;
constexpr int kLampWidth = 20;
constexpr int kLampHeight = 16;
constexpr Point kLampPos[kLampCount] = {{154, 131}, {385, 131}, {503, 131}};
constexpr Span kLampClickColumns[kLampCount] = {{154, 174}, {385, 405}, {503, 523}};
constexpr Span kLampClickRows = {132, 148};

// ---- The maker's link at the left end of the title band.
constexpr int kLinkLeft = 2;
constexpr int kLinkRight = 105;
constexpr int kLinkTop = 161;
constexpr int kLinkBottom = 169;

// ---- Knob drag: the value moves 0.01 per pixel of upward travel (in double precision).
constexpr double kDragPerPixel = 0.01;

// ---- Text panel: seven lines at x 240, 12 pixels apart.
constexpr int kTextX = 240;
constexpr int kTextTop = 40;
constexpr int kTextPitch = 12;
constexpr int kTextLineCount = 7;
// The display square behind them.
constexpr int kDisplayX = 230;
constexpr int kDisplayY = 35;
constexpr int kDisplaySize = 93; // columns 230..322, rows 35..127

// ---- Level meters: three slots of kMeterSlotLength x kMeterSlotHeight; input and output bars
// grow right from the slot's left end, the gain bar grows left from its right end.
constexpr int kMeterSlotX = 18;
constexpr int kMeterSlotLength = 79; // columns 18..96
constexpr int kMeterSlotHeight = 3;
constexpr int kMeterSlotCount = 3;
constexpr int kMeterSlotY[kMeterSlotCount] = {126, 135, 144}; // input, gain, output
constexpr int kGainBarLeft = kMeterSlotX + 1;
constexpr int kGainBarRight = kMeterSlotX + kMeterSlotLength; // exclusive

// ---- Colours the editor draws with.
constexpr Rgb kTextColour = {52, 68, 97};
constexpr Rgb kOverFullScaleColour = {255, 60, 60};
constexpr Rgb kOverThresholdColour = {255, 156, 60};
constexpr Rgb kLevelColour = {211, 219, 231};
constexpr Rgb kGainColour = {252, 252, 252};

} // namespace panel
