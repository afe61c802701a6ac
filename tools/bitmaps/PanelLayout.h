// Layout and colours of the editor's three bitmaps. The positions are the ones the editor
// paints on top of the background and hit-tests the mouse against; the rest is styling.
#pragma once

namespace panel {

struct Rgb {
    int r, g, b;
};

struct Point {
    int x, y;
};

// The whole panel (background bitmap).
constexpr int kWidth = 550;
constexpr int kHeight = 170;

// Knob film strip: frames of kFrameSize x kFrameSize side by side; the editor shows the top
// kKnobShownHeight rows of a frame at each knob destination.
constexpr int kKnobFrames = 129;
constexpr int kFrameSize = 55;
constexpr int kKnobShownHeight = 54;
constexpr int kStripWidth = kKnobFrames * kFrameSize;
constexpr double kKnobMinAngleDeg = -150.0; // frame 0: pointer at about 7 o'clock
constexpr double kKnobMaxAngleDeg = 150.0;  // last frame: pointer at about 5 o'clock
constexpr int kKnobCount = 6;
constexpr Point kKnobPos[kKnobCount] = {{14, 56},  {74, 56},  {134, 56},
                                        {368, 56}, {428, 56}, {488, 56}};
constexpr const char* kKnobCaption[kKnobCount] = {"ATTACK", "RELEASE",   "OUTPUT",
                                                  "RATIO",  "THRESHOLD", "DEPTH"};
constexpr double kKnobCaptionBaseline = 51.0;

// Knob drawing inside a frame (pixel-centred so the picture is symmetric about column 27).
constexpr double kKnobCentre = 27.5;
constexpr double kTickInner = 21.5;
constexpr double kTickOuter = 25.0;
constexpr int kTickCount = 11;
constexpr double kSkirtRadius = 18.5;
constexpr double kCapRadius = 13.5;
constexpr int kKnurlCount = 36;

// Switch lamps: the unlit socket is part of the background, the lit one a separate bitmap.
constexpr int kLampWidth = 20;
constexpr int kLampHeight = 16;
constexpr int kLampCount = 3;
constexpr Point kLampPos[kLampCount] = {{154, 131}, {385, 131}, {503, 131}};
constexpr const char* kLampCaption[kLampCount] = {"AUTO GAIN", "LIMITER", "SOFTCLIP"};
// Captions sit beside their lamp: right of the first (the meter box is on its left), left
// of the other two (the right edge of the panel is too close).
constexpr bool kLampCaptionOnRight[kLampCount] = {true, false, false};
constexpr int kLampCaptionGap = 5;

// Display square behind the editor's seven text lines (x 240, y 40 to 122).
constexpr int kDisplayX = 230;
constexpr int kDisplayY = 35;
constexpr int kDisplaySize = 93; // columns 230..322, rows 35..127
constexpr int kDisplayBezel = 3;

// Meter box with three slots; the editor draws the bars inside the slots.
constexpr int kMeterSlotX = 18;
constexpr int kMeterSlotLength = 79; // columns 18..96
constexpr int kMeterSlotHeight = 3;
constexpr int kMeterSlotCount = 3;
constexpr int kMeterSlotY[kMeterSlotCount] = {126, 135, 144};
constexpr const char* kMeterCaption[kMeterSlotCount] = {"IN", "GR", "OUT"};
constexpr int kMeterCaptionX = 101;
constexpr int kMeterBoxX = 8;
constexpr int kMeterBoxY = 120;
constexpr int kMeterBoxWidth = 117;
constexpr int kMeterBoxHeight = 33;

// Title band along the bottom; its left end (x 2..105, y 161..169) is the maker's link.
constexpr int kBandY = 158;
constexpr int kLinkX = 2;
constexpr int kLinkRight = 105;
constexpr int kLinkY = 161;
constexpr double kBandBaseline = 168.0;
constexpr const char* kMakerName = "ALMACOR";
constexpr const char* kProductName = "QUORVEL DEMO";
constexpr const char* kProductKind = "STEREO COMPRESSOR";

// Header above the knob groups.
constexpr double kHeaderBaseline = 25.0;
constexpr int kHeaderLeft = 16;
constexpr int kHeaderRight = 536;
constexpr int kHeaderRuleY = 32;
struct Span {
    int first, last; // columns, inclusive
};
constexpr Span kHeaderRules[2] = {{kHeaderLeft, 208}, {344, kHeaderRight}};

// Colours.
constexpr Rgb kPanel = {46, 50, 57};
constexpr Rgb kPanelHighlight = {70, 75, 84};
constexpr Rgb kPanelShadow = {30, 33, 38};
constexpr Rgb kCaption = {196, 202, 212};
constexpr Rgb kCaptionDim = {134, 141, 153};
constexpr Rgb kAccent = {236, 150, 64};
constexpr Rgb kDisplayTop = {232, 237, 243};
constexpr Rgb kDisplayBottom = {212, 221, 232};
constexpr Rgb kBezel = {18, 20, 24};
constexpr Rgb kMeterBox = {33, 36, 42};
constexpr Rgb kMeterSlot = {10, 11, 13};
constexpr Rgb kBand = {27, 29, 34};
constexpr Rgb kLink = {150, 186, 232};

} // namespace panel
