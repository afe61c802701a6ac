// Styling of the editor's three bitmaps. The positions the editor paints on top of the
// background and hit-tests the mouse against come from editor/PanelLayout.h.
#pragma once

#include "editor/PanelLayout.h"

namespace panel {

// Knob film strip.
constexpr double kKnobMinAngleDeg = -150.0; // frame 0: pointer at about 7 o'clock
constexpr double kKnobMaxAngleDeg = 150.0;  // last frame: pointer at about 5 o'clock
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
constexpr const char* kLampCaption[kLampCount] = {"AUTO GAIN", "LIMITER", "SOFTCLIP"};
// Captions sit beside their lamp: right of the first (the meter box is on its left), left
// of the other two (the right edge of the panel is too close).
constexpr bool kLampCaptionOnRight[kLampCount] = {true, false, false};
constexpr int kLampCaptionGap = 5;

// Bezel around the display square behind the editor's seven text lines.
constexpr int kDisplayBezel = 3;

// Meter box with three slots; the editor draws the bars inside the slots.
constexpr const char* kMeterCaption[kMeterSlotCount] = {"IN", "GR", "OUT"};
constexpr int kMeterCaptionX = 101;
constexpr int kMeterBoxX = 8;
constexpr int kMeterBoxY = 120;
constexpr int kMeterBoxWidth = 117;
constexpr int kMeterBoxHeight = 33;

// Title band along the bottom; its left end (x 2..105, y 161..169) is the maker's link.
constexpr int kBandY = 158;
constexpr double kBandBaseline = 168.0;
constexpr const char* kMakerName = "ALMACOR";
constexpr const char* kProductName = "QUORVEL DEMO";
constexpr const char* kProductKind = "STEREO COMPRESSOR";

// Header above the knob groups.
constexpr double kHeaderBaseline = 25.0;
constexpr int kHeaderLeft = 16;
constexpr int kHeaderRight = 536;
constexpr int kHeaderRuleY = 32;
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
