// Painting through the offscreen window system: text panel, knob frames, lamps, level bars, the
// double buffer and the clean-up of every paint.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <tuple>

#include "editor/PanelLayout.h"
#include "tests/editor/EditorTestSupport.h"

namespace {

using editortest::EditorFixture;
namespace st = offscreen;

constexpr int kKnobY = panel::kKnobPos[0].y;

struct KnobPosition {
    ParameterIndex parameter;
    int x;
};
// Left to right on screen.
constexpr KnobPosition kKnobs[] = {
    {Attack, panel::kKnobPos[0].x},    {Release, panel::kKnobPos[1].x},
    {Output, panel::kKnobPos[2].x},    {Ratio, panel::kKnobPos[3].x},
    {Threshold, panel::kKnobPos[4].x}, {Depth, panel::kKnobPos[5].x}};

// Does the window show strip frame `frame` at knob position x (55 x 54, bottom row unused)?
bool showsFrame(const st::Image& window, const st::Image& strip, int x, int frame) {
    for (int row = 0; row < 54; ++row) {
        for (int column = 0; column < 55; ++column) {
            if (window.at(x + column, kKnobY + row) != strip.at(55 * frame + column, row)) {
                return false;
            }
        }
    }
    return true;
}

// The largest difference of two pixels in one channel.
int distance(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int difference =
            static_cast<int>((a >> shift) & 0xFFu) - static_cast<int>((b >> shift) & 0xFFu);
        largest = std::max(largest, std::abs(difference));
    }
    return largest;
}

bool sameArea(const st::Image& a, int ax, int ay, const st::Image& b, int bx, int by, int width,
              int height) {
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            if (a.at(ax + column, ay + row) != b.at(bx + column, by + row)) {
                return false;
            }
        }
    }
    return true;
}

class EditorPaintTest : public EditorFixture {
protected:
    std::vector<std::string> panelLines() const {
        std::vector<std::string> lines;
        for (const st::TextRecord& record : panelText()) {
            lines.push_back(record.text);
        }
        return lines;
    }

    // Paints again with the current values and returns the seven lines drawn.
    std::vector<std::string> repaintLines() {
        st::clearRecords();
        openAndPaint();
        return panelLines();
    }
};

TEST_F(EditorPaintTest, DefaultsShowTheSevenPanelLinesInPlace) {
    openAndPaint();
    const std::vector<st::TextRecord> lines = panelText();
    const char* const expected[] = {"Thr -11.8 dB", "Rat 5.8:1",  "Atk 6.6 ms", "Rls 206 ms",
                                    "Dph 0%",       "Out 5.2 dB", "Softclip"};
    ASSERT_EQ(lines.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i].text, expected[i]);
        EXPECT_EQ(lines[i].x, 240);
        EXPECT_EQ(lines[i].y, 40 + 12 * i);
        EXPECT_EQ(lines[i].colour, RGB(52, 68, 97));
        EXPECT_EQ(lines[i].bkMode, TRANSPARENT);
        EXPECT_EQ(lines[i].font, editor().fontHandle());
    }
    const st::FontInfo font = st::fontInfo(editor().fontHandle());
    EXPECT_EQ(font.height, 10);
    EXPECT_EQ(font.width, 0);
    EXPECT_EQ(font.weight, 0);
    EXPECT_EQ(font.italic | font.underline | font.strikeOut | font.charSet, 0u);
    EXPECT_EQ(font.faceName, "Lucida Console");
    // The text reaches the window in the panel colour, each line in its own row of the display
    // and starting at its x: in every row some pixels come near the ink (the smoothed edges
    // blend it with the panel), a longer line reaches further right, and nothing of the text
    // lands left of x, above the first row, below the last or outside the display.
    const st::Image window = st::windowImage(editor().windowHandle());
    const st::Image background = st::bitmapImage(editor().backgroundHandle());
    const std::uint32_t ink = st::pixelOf(RGB(52, 68, 97));
    const int displayRight = panel::kDisplayX + panel::kDisplaySize;
    const int displayBottom = panel::kDisplayY + panel::kDisplaySize;
    std::vector<int> rightmost;
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        int nearest = 255; // the changed pixel nearest to the ink, by its farthest channel
        int panel = 0;     // the panel's own distance to the ink there
        int right = -1;
        for (int y = 40 + 12 * i; y < 52 + 12 * i; ++y) {
            for (int x = panel::kDisplayX; x < displayRight; ++x) {
                if (window.at(x, y) != background.at(x, y)) {
                    EXPECT_GE(x, 240) << "y " << y;
                    right = std::max(right, x);
                    nearest = std::min(nearest, distance(window.at(x, y), ink));
                    panel = std::max(panel, distance(background.at(x, y), ink));
                }
            }
        }
        EXPECT_LT(nearest * 4, panel) << "nearest " << nearest << ", panel " << panel;
        rightmost.push_back(right);
    }
    EXPECT_GT(rightmost[0], rightmost[4] + 20); // "Thr -11.8 dB" against "Dph 0%"
    EXPECT_GT(rightmost[4], 240 + 20);
    // The rows around the text, and the columns right of the display, are the background's.
    EXPECT_TRUE(sameArea(window, panel::kDisplayX, panel::kDisplayY, background, panel::kDisplayX,
                         panel::kDisplayY, panel::kDisplaySize, 40 - panel::kDisplayY));
    EXPECT_TRUE(sameArea(window, panel::kDisplayX, 40 + 12 * 7, background, panel::kDisplayX,
                         40 + 12 * 7, panel::kDisplaySize, displayBottom - 40 - 12 * 7));
    EXPECT_TRUE(sameArea(window, displayRight, 40, background, displayRight, 40, 10, 12 * 7));
}

TEST_F(EditorPaintTest, PanelTextFollowsTheLawsAndTheSwitches) {
    set(Threshold, 1.0f);
    EXPECT_EQ(repaintLines()[0], "Thr -0.0 dB");
    set(Threshold, 0.0f);
    EXPECT_EQ(repaintLines()[0], "Thr -40.0 dB");
    set(Threshold, 0.25f);
    EXPECT_EQ(repaintLines()[0], "Thr -22.9 dB");

    set(Ratio, 1.0f);
    set(Attack, 1.0f);
    set(Release, 1.0f);
    set(Depth, 1.0f);
    set(Output, 1.0f);
    EXPECT_EQ(repaintLines(),
              (std::vector<std::string>{"Thr -22.9 dB", "Rat 20.0:1", "Atk 200.0 ms", "Rls 3000 ms",
                                        "Dph 100%", "Out 20.0 dB", "Softclip"}));
    set(Ratio, 0.0f);
    set(Attack, 0.0f);
    set(Release, 0.0f);
    set(Depth, 0.0f);
    set(Output, 0.0f);
    EXPECT_EQ(repaintLines(),
              (std::vector<std::string>{"Thr -22.9 dB", "Rat 1.0:1", "Atk 0.1 ms", "Rls 50 ms",
                                        "Dph 0%", "Out -20.0 dB", "Softclip"}));
    set(Ratio, 0.25f);
    set(Attack, 0.25f);
    set(Release, 0.1f);
    set(Depth, 0.25f);
    set(Output, 0.25f);
    EXPECT_EQ(repaintLines(),
              (std::vector<std::string>{"Thr -22.9 dB", "Rat 2.2:1", "Atk 12.6 ms", "Rls 80 ms",
                                        "Dph 25%", "Out -10.0 dB", "Softclip"}));

    // The switches replace lines; the knobs still show their values.
    set(Limiter, 1.0f);
    set(AutoMakeUp, 1.0f);
    set(Softclip, 0.0f);
    const std::vector<std::string> lines = repaintLines();
    EXPECT_EQ(lines[1], "Limiter");
    EXPECT_EQ(lines[5], "Auto Make-Up");
    EXPECT_EQ(lines[6], "Normal");
    const st::Image window = st::windowImage(editor().windowHandle());
    const st::Image strip = st::bitmapImage(editor().knobStripHandle());
    EXPECT_TRUE(showsFrame(window, strip, 368, 32)); // Ratio 0.25
    EXPECT_TRUE(showsFrame(window, strip, 134, 32)); // Output 0.25
}

TEST_F(EditorPaintTest, KnobsShowTheirStripFramesWithoutTheBottomRow) {
    const HWND window = openAndPaint();
    const st::Image picture = st::windowImage(window);
    const st::Image strip = st::bitmapImage(editor().knobStripHandle());
    const st::Image background = st::bitmapImage(editor().backgroundHandle());
    ASSERT_EQ(strip.width, 7095);
    ASSERT_EQ(strip.height, 55);

    const int expectedFrames[] = {23, 29, 80, 64, 64, 0};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const int frame = expectedFrames[i];
        EXPECT_TRUE(showsFrame(picture, strip, kKnobs[i].x, frame));
        // The neighbouring frames differ, so the comparison above pins the frame down.
        EXPECT_FALSE(showsFrame(picture, strip, kKnobs[i].x, frame + 1));
        // Below the 54 drawn rows the background shows.
        EXPECT_TRUE(sameArea(picture, kKnobs[i].x, kKnobY + 54, background, kKnobs[i].x,
                             kKnobY + 54, 55, 1));
    }

    // Exactly 1.0 selects the last frame, exactly 0 the first.
    set(Threshold, 1.0f);
    set(Attack, 0.0f);
    openAndPaint();
    const st::Image changed = st::windowImage(window);
    EXPECT_TRUE(showsFrame(changed, strip, 428, 128));
    EXPECT_TRUE(showsFrame(changed, strip, 14, 0));
}

TEST_F(EditorPaintTest, OnlyLitSwitchesShowTheLamp) {
    const HWND window = openAndPaint();
    const st::Image lamp = st::bitmapImage(editor().lampHandle());
    const st::Image background = st::bitmapImage(editor().backgroundHandle());
    ASSERT_EQ(lamp.width, 20);
    ASSERT_EQ(lamp.height, 16);
    const int lampX[] = {154, 385, 503}; // AutoMakeUp, Limiter, Softclip
    ASSERT_FALSE(sameArea(lamp, 0, 0, background, lampX[2], 131, 20, 16));

    st::Image picture = st::windowImage(window);
    EXPECT_TRUE(sameArea(picture, lampX[0], 131, background, lampX[0], 131, 20, 16));
    EXPECT_TRUE(sameArea(picture, lampX[1], 131, background, lampX[1], 131, 20, 16));
    EXPECT_TRUE(sameArea(picture, lampX[2], 131, lamp, 0, 0, 20, 16));

    set(AutoMakeUp, 1.0f);
    set(Limiter, 1.0f);
    set(Softclip, 0.0f);
    openAndPaint();
    picture = st::windowImage(window);
    EXPECT_TRUE(sameArea(picture, lampX[0], 131, lamp, 0, 0, 20, 16));
    EXPECT_TRUE(sameArea(picture, lampX[1], 131, lamp, 0, 0, 20, 16));
    EXPECT_TRUE(sameArea(picture, lampX[2], 131, background, lampX[2], 131, 20, 16));
}

class EditorBarTest : public EditorPaintTest {
protected:
    void meters(float input, float gain, float output, float threshold) {
        effect->core.inputPeak.store(input);
        effect->core.engine.smoothedGain.store(gain);
        effect->core.outputPeak.store(output);
        effect->core.engine.thresholdLevel.store(threshold);
        st::clearRecords();
        openAndPaint();
        fills = barFills();
        ASSERT_EQ(fills.size(), 3u);
        picture = st::windowImage(editor().windowHandle());
    }

    static void expectRect(const st::FillRecord& fill, RECT expected, COLORREF colour) {
        EXPECT_EQ(fill.rect.left, expected.left);
        EXPECT_EQ(fill.rect.top, expected.top);
        EXPECT_EQ(fill.rect.right, expected.right);
        EXPECT_EQ(fill.rect.bottom, expected.bottom);
        EXPECT_EQ(fill.colour, colour);
    }

    // Columns of row y, from x 10 to 104, that have the colour.
    std::vector<int> columnsIn(int y, COLORREF colour) const {
        std::vector<int> columns;
        for (int x = 10; x < 105; ++x) {
            if (picture.at(x, y) == st::pixelOf(colour)) {
                columns.push_back(x);
            }
        }
        return columns;
    }

    std::vector<st::FillRecord> fills;
    st::Image picture;
};

constexpr COLORREF kRed = RGB(255, 60, 60);
constexpr COLORREF kOrange = RGB(255, 156, 60);
constexpr COLORREF kLevel = RGB(211, 219, 231);
constexpr COLORREF kGain = RGB(252, 252, 252);

TEST_F(EditorBarTest, BeforeAnyAudioTheGainBarIsFullAndTheLevelsEmpty) {
    // The effect's own starting values: no peaks, smoothedGain 0.
    st::clearRecords();
    openAndPaint();
    fills = barFills();
    ASSERT_EQ(fills.size(), 3u);
    picture = st::windowImage(editor().windowHandle());
    expectRect(fills[0], RECT{18, 126, 18, 129}, kLevel);
    expectRect(fills[1], RECT{19, 135, 97, 138}, kGain);
    expectRect(fills[2], RECT{18, 144, 18, 147}, kLevel);
    const std::vector<int> gainColumns = columnsIn(136, kGain);
    ASSERT_EQ(gainColumns.size(), 78u);
    EXPECT_EQ(gainColumns.front(), 19);
    EXPECT_EQ(gainColumns.back(), 96);
    for (int y = 135; y < 138; ++y) {
        EXPECT_EQ(columnsIn(y, kGain).size(), 78u);
    }
    EXPECT_EQ(columnsIn(134, kGain).size(), 0u);
    EXPECT_EQ(columnsIn(138, kGain).size(), 0u);
}

TEST_F(EditorBarTest, LengthsAreTruncatedAndCappedAt79) {
    meters(0.3f, 0.5f, 0.7f, 0.5f);
    expectRect(fills[0], RECT{18, 126, 60, 129}, kLevel); // atan(0.6) x 79 = 42.69
    expectRect(fills[1], RECT{58, 135, 97, 138}, kGain);  // 0.5 x 79 = 39.5
    expectRect(fills[2], RECT{18, 144, 93, 147}, kLevel); // atan(1.4) x 79 = 75.09
    const std::vector<int> input = columnsIn(127, kLevel);
    ASSERT_EQ(input.size(), 42u);
    EXPECT_EQ(input.front(), 18);
    EXPECT_EQ(input.back(), 59);

    // Full from tan(1)/2 on: columns 18 to 96.
    meters(0.77870386f, 0.987f, 5.0f, 100.0f);
    expectRect(fills[0], RECT{18, 126, 97, 129}, kLevel);
    expectRect(fills[1], RECT{96, 135, 97, 138}, kGain); // 77.97: one column left
    expectRect(fills[2], RECT{18, 144, 97, 147}, kRed);
    EXPECT_EQ(columnsIn(127, kLevel).back(), 96);
    EXPECT_EQ(columnsIn(136, kGain), std::vector<int>{96});

    // From 78/79 on, and at 1.0 (no reduction), the gain bar is empty.
    meters(0.0f, 0.9874f, 0.0f, 0.5f);
    expectRect(fills[1], RECT{97, 135, 97, 138}, kGain);
    EXPECT_TRUE(columnsIn(136, kGain).empty());
    meters(0.0f, 1.0f, 0.0f, 0.5f);
    expectRect(fills[1], RECT{98, 135, 97, 138}, kGain);
    EXPECT_TRUE(columnsIn(136, kGain).empty());
}

TEST_F(EditorBarTest, LevelColoursMarkThresholdAndFullScale) {
    meters(1.0f, 1.0f, 1.0f, 0.5f);
    EXPECT_EQ(fills[0].colour, kOrange); // exactly full scale is not "above"
    EXPECT_EQ(fills[2].colour, kLevel);
    EXPECT_EQ(columnsIn(127, kOrange).size(), 79u);

    meters(1.0001f, 1.0f, 1.0001f, 0.5f);
    EXPECT_EQ(fills[0].colour, kRed);
    EXPECT_EQ(fills[2].colour, kRed);
    EXPECT_EQ(columnsIn(145, kRed).size(), 79u);

    meters(0.5f, 1.0f, 0.5f, 0.5f); // at the threshold, not above it
    EXPECT_EQ(fills[0].colour, kLevel);
    meters(0.50001f, 1.0f, 0.5f, 0.5f);
    EXPECT_EQ(fills[0].colour, kOrange);
    EXPECT_EQ(fills[2].colour, kLevel); // the output bar knows no threshold
}

TEST_F(EditorPaintTest, APartialUpdateStillComposesAndCopiesTheWholeWindow) {
    const HWND window = openAndPaint();
    const st::Image full = st::windowImage(window);

    st::fillWindow(window, 0x123456u);
    st::clearRecords();
    const RECT corner = {500, 150, 550, 170};
    InvalidateRect(window, &corner, FALSE);
    ASSERT_TRUE(st::pumpPaint(window));

    EXPECT_EQ(panelText().size(), 7u);
    ASSERT_FALSE(st::blitRecords().empty());
    const st::BlitRecord& last = st::blitRecords().back();
    EXPECT_EQ(last.targetWindow, window);
    EXPECT_EQ(last.sourceBitmap, editor().backBufferHandle());
    // The whole back buffer onto the whole window, copied.
    EXPECT_EQ(std::make_tuple(last.x, last.y, last.width, last.height, last.sourceX, last.sourceY),
              std::make_tuple(0, 0, 550, 170, 0, 0));
    EXPECT_EQ(last.rop, static_cast<DWORD>(SRCCOPY));
    int windowBlits = 0;
    for (const st::BlitRecord& blit : st::blitRecords()) {
        windowBlits += blit.targetWindow != nullptr ? 1 : 0;
    }
    EXPECT_EQ(windowBlits, 1);

    // The system clips to the update region; the back buffer holds the whole picture.
    const st::Image after = st::windowImage(window);
    EXPECT_EQ(after.at(520, 160), full.at(520, 160));
    EXPECT_EQ(after.at(10, 10), 0x123456u);
    EXPECT_EQ(st::bitmapImage(editor().backBufferHandle()).pixels, full.pixels);
}

TEST_F(EditorPaintTest, APaintLeavesNothingSelectedAndNothingBehind) {
    const HWND window = open();
    const st::LiveObjects beforeFirst = st::liveObjects();
    ASSERT_TRUE(st::pumpPaint(window));
    st::LiveObjects expected = beforeFirst;
    ++expected.bitmaps; // the back buffer, made by the first paint and kept
    EXPECT_TRUE(st::liveObjects() == expected);

    const HBITMAP backBuffer = editor().backBufferHandle();
    const st::BitmapInfo info = st::bitmapInfo(backBuffer);
    EXPECT_EQ(info.width, 550);
    EXPECT_EQ(info.height, 170);
    // Compatible with the window, not with a fresh memory DC (monochrome on Windows): the
    // other would be a misuse in st::diagnostics(), which TearDown finds empty.
    EXPECT_EQ(info.selectedInto, nullptr);
    EXPECT_EQ(st::selectionCount(editor().fontHandle()), 0);
    EXPECT_EQ(st::selectionCount(editor().knobStripHandle()), 0);
    EXPECT_EQ(st::dcsWithSelections(), 0);
    EXPECT_FALSE(st::windowInfo(window).invalid);

    for (int i = 0; i < 5; ++i) {
        dispatch(effEditIdle);
        ASSERT_TRUE(st::pumpPaint(window));
    }
    EXPECT_TRUE(st::liveObjects() == expected);
    EXPECT_EQ(editor().backBufferHandle(), backBuffer);
    EXPECT_TRUE(st::diagnostics().empty()) << editortest::joined(st::diagnostics());
}

TEST_F(EditorPaintTest, TheBackBufferIsReusedAcrossCloseAndOpen) {
    EXPECT_EQ(editor().backBufferHandle(), nullptr);
    openAndPaint();
    const HBITMAP backBuffer = editor().backBufferHandle();
    ASSERT_NE(backBuffer, nullptr);
    close();
    EXPECT_EQ(editor().backBufferHandle(), backBuffer);
    EXPECT_TRUE(st::bitmapInfo(backBuffer).exists);

    const int bitmaps = st::liveObjects().bitmaps;
    set(Depth, 1.0f);
    const HWND window = openAndPaint();
    EXPECT_EQ(editor().backBufferHandle(), backBuffer);
    EXPECT_EQ(st::liveObjects().bitmaps, bitmaps);
    EXPECT_TRUE(
        showsFrame(st::windowImage(window), st::bitmapImage(editor().knobStripHandle()), 488, 128));
}

} // namespace
