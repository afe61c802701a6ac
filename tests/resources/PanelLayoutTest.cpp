// The pictures line up with what the editor paints on top of them and where it takes clicks:
// knob frames, lamps, text panel, level bars and the link.
#include "editor/PanelLayout.h"
#include "resources/ResourceIds.h"
#include "tests/resources/BmpImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Where the editor draws and hit-tests, and the colours it draws with.
using panel::kFrameSize;
using panel::kKnobShownHeight;
using panel::kLampHeight;
using panel::kLampWidth;
using panel::kLinkBottom;
using panel::kLinkLeft;
using panel::kLinkRight;
using panel::kLinkTop;
using panel::kMeterSlotHeight;
using panel::Point;
constexpr auto& kKnobDest = panel::kKnobPos;
constexpr int kFrames = panel::kKnobFrames;
constexpr auto& kLampDest = panel::kLampPos;
constexpr auto& kMeterSlotRow = panel::kMeterSlotY;
constexpr int kMeterSlotLeft = panel::kMeterSlotX;
constexpr int kMeterSlotRight = panel::kMeterSlotX + panel::kMeterSlotLength - 1;
constexpr int kDisplayLeft = panel::kDisplayX, kDisplayTop = panel::kDisplayY;
constexpr int kDisplayRight = kDisplayLeft + panel::kDisplaySize - 1;
constexpr int kDisplayBottom = kDisplayTop + panel::kDisplaySize - 1;

constexpr Rgb rgb(panel::Rgb c) {
    return {c.r, c.g, c.b};
}
constexpr Rgb kTextColour = rgb(panel::kTextColour);
constexpr Rgb kBarColours[] = {rgb(panel::kLevelColour), rgb(panel::kGainColour),
                               rgb(panel::kOverThresholdColour), rgb(panel::kOverFullScaleColour)};

constexpr double kPi = 3.14159265358979323846;

const EmbeddedBitmap& file(int id) {
    static const EmbeddedBitmap empty{0, nullptr, 0};
    const EmbeddedBitmap* f = findEmbeddedBitmap(id);
    return f != nullptr ? *f : empty;
}

class PanelLayout : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(background.valid()) << background.error();
        ASSERT_TRUE(strip.valid()) << strip.error();
        ASSERT_TRUE(lamp.valid()) << lamp.error();
        ASSERT_EQ(background.width(), 550);
        ASSERT_EQ(strip.width(), kFrames * kFrameSize);
        ASSERT_EQ(lamp.width(), kLampWidth);
    }

    Rgb frameAt(int frame, int x, int y) const { return strip.at(frame * kFrameSize + x, y); }

    // Pixels in a rectangle (inclusive) that stand out from the ground like caption text.
    int textPixels(int left, int top, int right, int bottom, Rgb ground) const {
        int n = 0;
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x) {
                n += contrast(background.at(x, y), ground) >= 3.0 ? 1 : 0;
            }
        }
        return n;
    }

    Rgb panelColour() const { return background.at(kKnobDest[0].x, kKnobDest[0].y); }

    const BmpImage background{file(IDB_BACKGROUND)};
    const BmpImage strip{file(IDB_KNOB_STRIP)};
    const BmpImage lamp{file(IDB_LAMP)};
};

TEST_F(PanelLayout, MeterSlotsAreUniformlyDarkOverExactlyTheirRowsAndColumns) {
    for (int top : kMeterSlotRow) {
        SCOPED_TRACE("slot at row " + std::to_string(top));
        const Rgb slot = background.at(kMeterSlotLeft, top);
        for (const Rgb bar : kBarColours) {
            EXPECT_GE(contrast(slot, bar), 4.5)
                << "bar " << toString(bar) << " on " << toString(slot);
        }
        for (int y = top; y < top + kMeterSlotHeight; ++y) {
            for (int x = kMeterSlotLeft; x <= kMeterSlotRight; ++x) {
                ASSERT_EQ(background.at(x, y), slot) << "at " << x << "," << y;
            }
        }
        // The slot ends where the bars end: its surroundings are not slot colour.
        for (int y = top; y < top + kMeterSlotHeight; ++y) {
            EXPECT_NE(background.at(kMeterSlotLeft - 1, y), slot) << "left of row " << y;
            EXPECT_NE(background.at(kMeterSlotRight + 1, y), slot) << "right of row " << y;
        }
        for (int x = kMeterSlotLeft; x <= kMeterSlotRight; ++x) {
            EXPECT_NE(background.at(x, top - 1), slot) << "above column " << x;
            EXPECT_NE(background.at(x, top + kMeterSlotHeight), slot) << "below column " << x;
        }
    }
}

TEST_F(PanelLayout, EachMeterSlotHasACaptionBeside) {
    for (int top : kMeterSlotRow) {
        const Rgb box = background.at(kMeterSlotRight + 1, top);
        const int left = textPixels(0, top - 2, kMeterSlotLeft - 1, top + 4, box);
        const int right = textPixels(kMeterSlotRight + 2, top - 2, 135, top + 4, box);
        EXPECT_GE(left + right, 8) << "slot at row " << top;
    }
}

TEST_F(PanelLayout, DisplaySquareIsLightEnoughForTheTextPanel) {
    for (int y = kDisplayTop; y <= kDisplayBottom; ++y) {
        for (int x = kDisplayLeft; x <= kDisplayRight; ++x) {
            ASSERT_GE(contrast(background.at(x, y), kTextColour), 5.0)
                << "at " << x << "," << y << " " << toString(background.at(x, y));
        }
    }
}

TEST_F(PanelLayout, KnobDestinationsArePlainPanelColour) {
    // The frames are copied opaque: anything painted here would be hidden, and the colour
    // must be the one the frames carry around the knob.
    const Rgb panel = panelColour();
    for (const Point d : kKnobDest) {
        for (int y = 0; y < kKnobShownHeight; ++y) {
            for (int x = 0; x < kFrameSize; ++x) {
                ASSERT_EQ(background.at(d.x + x, d.y + y), panel)
                    << "knob at " << d.x << ": pixel " << x << "," << y;
            }
        }
    }
}

TEST_F(PanelLayout, KnobFramesCarryThePanelColourAroundTheKnob) {
    int mismatches = 0;
    std::string first;
    for (int f = 0; f < kFrames; ++f) {
        for (int y = 0; y < kKnobShownHeight; ++y) {
            for (int x = 0; x < kFrameSize; ++x) {
                const bool edge =
                    y <= 1 || y >= kKnobShownHeight - 1 || x <= 1 || x >= kFrameSize - 2;
                if (!edge) {
                    continue;
                }
                for (const Point d : kKnobDest) {
                    if (frameAt(f, x, y) != background.at(d.x + x, d.y + y)) {
                        if (mismatches++ == 0) {
                            first = "frame " + std::to_string(f) + " pixel " + std::to_string(x) +
                                    "," + std::to_string(y);
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(mismatches, 0) << "first: " << first;
}

TEST_F(PanelLayout, EachKnobHasACaptionAbove) {
    for (const Point d : kKnobDest) {
        EXPECT_GE(textPixels(d.x, d.y - 14, d.x + kFrameSize - 1, d.y - 1, panelColour()), 10)
            << "knob at " << d.x;
    }
}

// Angle of the pointer in a frame, in degrees clockwise from straight up: the centroid of
// the pixels that differ strongly from the per-pixel median over all frames (the knob
// without its pointer).
std::vector<double> pointerAngles(const BmpImage& strip) {
    std::vector<Rgb> median(kFrameSize * kFrameSize);
    std::vector<int> r(kFrames), g(kFrames), b(kFrames);
    for (int y = 0; y < kFrameSize; ++y) {
        for (int x = 0; x < kFrameSize; ++x) {
            for (int f = 0; f < kFrames; ++f) {
                const Rgb c = strip.at(f * kFrameSize + x, y);
                r[f] = c.r;
                g[f] = c.g;
                b[f] = c.b;
            }
            for (auto* v : {&r, &g, &b}) {
                std::nth_element(v->begin(), v->begin() + kFrames / 2, v->end());
            }
            median[y * kFrameSize + x] = {r[kFrames / 2], g[kFrames / 2], b[kFrames / 2]};
        }
    }
    std::vector<double> angles;
    for (int f = 0; f < kFrames; ++f) {
        double sx = 0, sy = 0, n = 0;
        for (int y = 0; y < kFrameSize; ++y) {
            for (int x = 0; x < kFrameSize; ++x) {
                const Rgb c = strip.at(f * kFrameSize + x, y);
                const Rgb m = median[y * kFrameSize + x];
                if (std::abs(c.r - m.r) + std::abs(c.g - m.g) + std::abs(c.b - m.b) > 150) {
                    sx += x - 27;
                    sy += y - 27;
                    n += 1;
                }
            }
        }
        angles.push_back(n > 0 ? std::atan2(sx, -sy) * 180.0 / kPi : std::nan(""));
    }
    return angles;
}

TEST_F(PanelLayout, KnobPointerTurnsClockwiseFromSevenToFiveOClock) {
    const std::vector<double> angle = pointerAngles(strip);
    EXPECT_NEAR(angle[0], -150.0, 20.0) << "frame 0 should point to the lower left";
    EXPECT_NEAR(angle[64], 0.0, 10.0) << "the middle frame should point straight up";
    EXPECT_NEAR(angle[128], 150.0, 20.0) << "frame 128 should point to the lower right";
    for (int f = 1; f < kFrames; ++f) {
        EXPECT_GT(angle[f], angle[f - 1]) << "frame " << f << " turns back";
    }
}

TEST_F(PanelLayout, EveryFrameDiffersFromItsNeighbour) {
    auto differing = [&](int a, int b) {
        int n = 0;
        for (int y = 0; y < kKnobShownHeight; ++y) {
            for (int x = 0; x < kFrameSize; ++x) {
                n += frameAt(a, x, y) != frameAt(b, x, y) ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(differing(0, 128), 50);
    for (int f = 1; f < kFrames; ++f) {
        EXPECT_GT(differing(f - 1, f), 0) << "frames " << f - 1 << " and " << f;
    }
}

TEST_F(PanelLayout, LitLampIsTheSocketLitUp) {
    const Rgb litCentre = lamp.at(kLampWidth / 2, kLampHeight / 2);
    EXPECT_GE(litCentre.r, 200) << toString(litCentre);
    EXPECT_GE(litCentre.r - litCentre.g, 60) << toString(litCentre);
    for (const Point d : kLampDest) {
        SCOPED_TRACE("lamp at " + std::to_string(d.x));
        const Rgb unlitCentre = background.at(d.x + kLampWidth / 2, d.y + kLampHeight / 2);
        EXPECT_GT(luminance(litCentre), 2 * luminance(unlitCentre) + 0.05)
            << "lit " << toString(litCentre) << " unlit " << toString(unlitCentre);
        // Same socket: the outline matches the background, so the lamp sits in it seamlessly.
        int outlineMismatches = 0;
        for (int y = 0; y < kLampHeight; ++y) {
            for (int x = 0; x < kLampWidth; ++x) {
                const bool outline =
                    x == 0 || y == 0 || x == kLampWidth - 1 || y == kLampHeight - 1;
                if (outline && lamp.at(x, y) != background.at(d.x + x, d.y + y)) {
                    ++outlineMismatches;
                }
            }
        }
        EXPECT_EQ(outlineMismatches, 0);
    }
}

TEST_F(PanelLayout, EachLampHasACaptionBeside) {
    for (const Point d : kLampDest) {
        const int bottom = d.y + kLampHeight - 1;
        const int left = textPixels(std::max(0, d.x - 60), d.y, d.x - 1, bottom, panelColour());
        const int right = textPixels(d.x + kLampWidth, d.y, std::min(549, d.x + kLampWidth + 60),
                                     bottom, panelColour());
        EXPECT_GE(left + right, 20) << "lamp at " << d.x;
    }
}

TEST_F(PanelLayout, MakerNameLiesInsideTheLinkArea) {
    const Rgb band = background.at(kLinkRight, kLinkBottom);
    int inside = 0;
    for (int y = kLinkTop; y <= kLinkBottom; ++y) {
        for (int x = kLinkLeft; x <= kLinkRight; ++x) {
            inside += contrast(background.at(x, y), band) >= 4.5 ? 1 : 0;
        }
    }
    EXPECT_GE(inside, 30);
    // Nothing of it sticks out above or to the right, where a click would not open the page.
    const int above = textPixels(kLinkLeft, kLinkTop - 3, kLinkRight, kLinkTop - 1, band);
    const int right = textPixels(kLinkRight + 1, kLinkTop, kLinkRight + 8, kLinkBottom, band);
    EXPECT_EQ(above, 0);
    EXPECT_EQ(right, 0);
}

} // namespace
