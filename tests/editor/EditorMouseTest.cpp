// Mouse interaction through the offscreen window system: click areas, the drag law, switches, the
// link, the pointer shape, invalidation and the capture.
#include "tests/editor/EditorTestSupport.h"

namespace {

using editortest::EditorFixture;
namespace st = offscreen;

constexpr int kArrow = 32512;
constexpr int kHand = 32649;

class EditorMouseTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        window = open();
        ASSERT_NE(window, nullptr);
        st::validate(window);
        st::clearRecords();
    }

    void press(int x, int y) { st::sendMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON); }
    void move(int x, int y) { st::sendMouse(window, WM_MOUSEMOVE, x, y, MK_LBUTTON); }
    void release(int x, int y) { st::sendMouse(window, WM_LBUTTONUP, x, y); }
    void click(int x, int y) {
        press(x, y);
        release(x, y);
    }
    int invalidations() const { return st::windowInfo(window).invalidations; }
    int knob() const { return editorConst().draggedKnob(); }

    HWND window = nullptr;
};

TEST_F(EditorMouseTest, KnobClickAreasAreOffsetFromThePictures) {
    press(73, 113);
    EXPECT_EQ(knob(), 1);
    release(73, 113);
    EXPECT_EQ(knob(), 0);
    press(74, 80); // on the Release knob's picture, outside its click area
    EXPECT_EQ(knob(), 0);
    release(74, 80);
    press(17, 80); // on the Attack knob's picture, outside its click area
    EXPECT_EQ(knob(), 0);
    release(17, 80);

    struct Area {
        int left;
        int right;
    };
    const Area areas[] = {{18, 73}, {78, 133}, {138, 193}, {369, 424}, {429, 484}, {489, 544}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        const Area& area = areas[i];
        for (const auto& [x, y] : {std::pair{area.left, 59}, std::pair{area.right, 113},
                                   std::pair{area.left, 113}, std::pair{area.right, 59}}) {
            press(x, y);
            EXPECT_EQ(knob(), i + 1);
            release(x, y);
        }
        for (const auto& [x, y] : {std::pair{area.left - 1, 80}, std::pair{area.right + 1, 80},
                                   std::pair{area.left + 5, 58}, std::pair{area.left + 5, 114}}) {
            press(x, y);
            EXPECT_EQ(knob(), 0);
            release(x, y);
        }
    }
    // A press selects a knob but changes no value.
    const float before = value(Attack);
    press(40, 80);
    EXPECT_EQ(value(Attack), before);
    release(40, 80);
}

TEST_F(EditorMouseTest, DraggingUpRaisesTheValueByAHundredthPerPixelClamped) {
    set(Threshold, 0.5f);
    press(450, 100);
    ASSERT_EQ(knob(), 5);
    move(450, 60);
    EXPECT_NEAR(value(Threshold), 0.9f, 1e-6f);
    move(450, 40);
    EXPECT_EQ(value(Threshold), 1.0f);
    move(450, 50); // overshoot is not remembered
    EXPECT_NEAR(value(Threshold), 0.9f, 1e-6f);
    move(450, 170);
    EXPECT_EQ(value(Threshold), 0.0f);
    move(30, 160); // x plays no part
    EXPECT_NEAR(value(Threshold), 0.1f, 1e-6f);
    release(30, 160);

    // The same travel in small parts ends at about the same value.
    set(Threshold, 0.5f);
    press(450, 100);
    for (int y = 99; y >= 60; --y) {
        move(450, y);
    }
    EXPECT_NEAR(value(Threshold), 0.9f, 1e-5f);
    release(450, 60);
    EXPECT_EQ(knob(), 0);
    move(450, 0); // no drag: nothing changes
    EXPECT_NEAR(value(Threshold), 0.9f, 1e-5f);
}

TEST_F(EditorMouseTest, MovementOutsideTheWindowIsAppliedWhenThePointerReturns) {
    set(Attack, 0.9f);
    press(40, 60);
    move(40, 200); // below the window: ignored, the last handled y stays 60
    EXPECT_EQ(value(Attack), 0.9f);
    move(40, 110);
    EXPECT_NEAR(value(Attack), 0.4f, 1e-6f);

    move(40, -30); // above the window arrives as 65506: ignored as well
    EXPECT_NEAR(value(Attack), 0.4f, 1e-6f);
    move(40, 90); // the step is from the last handled y (110)
    EXPECT_NEAR(value(Attack), 0.6f, 1e-6f);
    move(40, -1);
    move(40, 0);
    EXPECT_EQ(value(Attack), 1.0f);
    EXPECT_EQ(editor().dragY(), 0);
    release(40, 0);
}

TEST_F(EditorMouseTest, SwitchesToggleOnThePress) {
    press(390, 140);
    EXPECT_EQ(value(Limiter), 1.0f);
    move(10, 10);
    release(10, 10);
    EXPECT_EQ(value(Limiter), 1.0f);
    click(390, 140);
    EXPECT_EQ(value(Limiter), 0.0f);

    // A double click is two presses: the switch ends as it was.
    click(510, 140);
    click(510, 140);
    EXPECT_EQ(value(Softclip), 1.0f);

    // Area borders: x 154 to 174, y 132 to 148 for the first lamp.
    for (const auto& [x, y] : {std::pair{154, 132}, std::pair{174, 148}}) {
        const float before = value(AutoMakeUp);
        click(x, y);
        EXPECT_EQ(value(AutoMakeUp), before == 0.0f ? 1.0f : 0.0f);
    }
    for (const auto& [x, y] :
         {std::pair{153, 140}, std::pair{175, 140}, std::pair{160, 131}, std::pair{160, 149}}) {
        click(x, y);
        EXPECT_EQ(value(AutoMakeUp), 0.0f);
    }
    // Anything but exactly 0 counts as on, and goes to 0.
    set(Limiter, 0.25f);
    click(400, 135);
    EXPECT_EQ(value(Limiter), 0.0f);
    EXPECT_EQ(knob(), 0);
}

TEST_F(EditorMouseTest, TheLinkOpensTheMakersPageAndShowsAHand) {
    press(2, 161);
    ASSERT_EQ(st::shellCalls().size(), 1u);
    const st::ShellCall& call = st::shellCalls()[0];
    EXPECT_EQ(call.owner, nullptr);
    EXPECT_EQ(call.operation, std::optional<std::string>("open"));
    EXPECT_EQ(call.file, std::optional<std::string>(identity::kMakerWebPage));
    EXPECT_FALSE(call.parameters.has_value());
    EXPECT_FALSE(call.directory.has_value());
    EXPECT_EQ(call.showCommand, SW_SHOWNORMAL);
    EXPECT_EQ(st::captureWindow(), window);
    EXPECT_EQ(knob(), 0);
    EXPECT_EQ(invalidations(), 1);
    release(2, 161);
    click(105, 169);
    EXPECT_EQ(st::shellCalls().size(), 2u);
    click(106, 169);
    click(50, 160);
    click(1, 165);
    EXPECT_EQ(st::shellCalls().size(), 2u);

    st::clearRecords();
    move(2, 161);
    move(105, 169);
    move(106, 169);
    move(50, 100);
    move(50, 171); // not handled: no pointer change
    move(50, -1);
    EXPECT_EQ(st::cursorsSet(), (std::vector<int>{kHand, kHand, kArrow, kArrow}));
    EXPECT_EQ(st::currentCursorId(), kArrow);
}

TEST_F(EditorMouseTest, PressesRepaintReleasesDoNotMovesOnlyWhileDragging) {
    press(300, 10); // an empty part of the panel
    EXPECT_EQ(invalidations(), 1);
    EXPECT_TRUE(st::windowInfo(window).invalid);
    EXPECT_FALSE(st::windowInfo(window).erasePending);
    EXPECT_EQ(st::captureWindow(), window);
    release(300, 10);
    EXPECT_EQ(invalidations(), 1);
    EXPECT_EQ(st::captureWindow(), nullptr);
    move(300, 20);
    move(40, 80);
    EXPECT_EQ(invalidations(), 1);

    press(40, 80);
    EXPECT_EQ(invalidations(), 2);
    move(40, 80); // no vertical travel: still a step
    move(40, 70);
    EXPECT_EQ(invalidations(), 4);
    move(40, 300);
    EXPECT_EQ(invalidations(), 4);
    release(40, 70);
    EXPECT_EQ(invalidations(), 4);
}

TEST_F(EditorMouseTest, TheHostIsToldNothingAndReadsNoValue) {
    press(40, 80);
    move(40, 20);
    release(40, 20);
    click(390, 140);
    click(50, 165);
    EXPECT_TRUE(HostRecorder::instance().calls.empty());
    AEffect* record = effect->getAeffect();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(record->getParameter(record, i), 0.0f);
    }
    EXPECT_NEAR(value(Attack), 0.78f, 1e-6f);
    EXPECT_EQ(value(Limiter), 1.0f);
}

TEST_F(EditorMouseTest, LosingTheCaptureEndsTheDrag) {
    const HWND other = st::createHostWindow(10, 10);
    press(40, 80);
    ASSERT_EQ(knob(), 1);
    SetCapture(other);
    EXPECT_EQ(knob(), 0);
    const float attack = value(Attack);
    move(40, 20);
    EXPECT_EQ(value(Attack), attack);
    ReleaseCapture();
    DestroyWindow(other);

    // A second press while the window still holds the capture keeps the new drag.
    press(40, 80);
    press(100, 80);
    EXPECT_EQ(knob(), 2);
    EXPECT_EQ(st::captureWindow(), window);
    release(100, 80);

    // Closing the editor during a drag ends it too.
    press(40, 80);
    close();
    EXPECT_EQ(knob(), 0);
    EXPECT_EQ(st::captureWindow(), nullptr);
}

} // namespace
