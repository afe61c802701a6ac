// Thousands of instance lifecycles in the orders hosts produce: create, open the editor,
// paint, close it, close the instance; close the instance with the editor still open; close
// without open, open twice; two instances with editors open at once, closed in either order;
// an editor opened with no parent window. After every cycle the process must be as before:
// the window-class use count at 0 and the class unregistered, the offscreen system's live windows,
// device contexts and GDI objects back to where they started, nothing left selected, no misuse
// the offscreen system noticed. Under AddressSanitizer, LeakSanitizer also checks at exit that no
// heap block of an instance or editor was lost.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "editor/CompressorEditor.h"
#include "platform/ModuleHandle.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/PluginIdentity.h"
#include "tests/robustness/RobustnessSupport.h"

namespace {

using namespace robustness;
namespace st = offscreen;

int lifecycleCycles() {
    if (const char* text = std::getenv("QUORVEL_LIFECYCLE_CYCLES")) {
        const long parsed = std::strtol(text, nullptr, 10);
        if (parsed > 0 && parsed <= 1000000) {
            return static_cast<int>(parsed);
        }
    }
    return 2000;
}

HWND editorWindow(AEffect* record) {
    return static_cast<CompressorEditor*>(effectOf(record).editorPointer())->windowHandle();
}

void idleAndPaint(AEffect* record) {
    dispatch(record, effEditIdle);
    if (const HWND window = editorWindow(record)) {
        st::pumpPaint(window);
    }
}

class Lifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        st::clearRecords();
        baseline = st::liveObjects();
        host = st::createHostWindow(identity::kEditorWidth, identity::kEditorHeight);
        withHost = st::liveObjects();
    }

    void TearDown() override {
        DestroyWindow(host);
        EXPECT_TRUE(st::liveObjects() == baseline);
    }

    AEffect* create() {
        AEffect* record = createInstance();
        EXPECT_NE(record, nullptr);
        return record;
    }

    // The checks every cycle ends with. Returns false (and says why) on the first failure.
    bool processIsAsBefore(int cycle, int pattern, bool nullParentUsed) {
        const auto fail = [&](const std::string& what) {
            ADD_FAILURE() << "cycle " << cycle << " (pattern " << pattern << "): " << what;
            return false;
        };
        if (editorClassUseCount != 0) {
            return fail("editorClassUseCount is " + std::to_string(editorClassUseCount));
        }
        if (st::classInfo(identity::kEditorClassName, moduleHandle()).registered) {
            return fail("the window class is still registered");
        }
        if (!(st::liveObjects() == withHost)) {
            const st::LiveObjects live = st::liveObjects();
            return fail("live objects differ: windows " + std::to_string(live.windows) + ", DCs " +
                        std::to_string(live.deviceContexts) + ", bitmaps " +
                        std::to_string(live.bitmaps) + ", brushes " + std::to_string(live.brushes) +
                        ", fonts " + std::to_string(live.fonts));
        }
        if (st::dcsWithSelections() != 0) {
            return fail("a device context has objects selected");
        }
        for (const std::string& diagnostic : st::diagnostics()) {
            if (!(nullParentUsed &&
                  diagnostic == "CreateWindowExA: a child window needs a parent")) {
                return fail("offscreen: " + diagnostic);
            }
        }
        return true;
    }

    st::LiveObjects baseline;
    st::LiveObjects withHost;
    HWND host = nullptr;
};

TEST_F(Lifecycle, ThousandsOfCyclesInHostOrdersLeaveNothingBehind) {
    const int cycles = lifecycleCycles();
    const auto start = std::chrono::steady_clock::now();
    int openedWindows = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        const int pattern = cycle % 6;
        bool nullParentUsed = false;
        AEffect* a = create();
        ASSERT_NE(a, nullptr);
        switch (pattern) {
        case 0: // the ordinary order
            ASSERT_EQ(dispatch(a, effEditOpen, 0, 0, host), 1);
            idleAndPaint(a);
            dispatch(a, effEditClose);
            break;
        case 1: // the instance closed with its editor open
            ASSERT_EQ(dispatch(a, effEditOpen, 0, 0, host), 1);
            idleAndPaint(a);
            break;
        case 2: // close without open, idle without a window, open twice, close twice
            dispatch(a, effEditClose);
            dispatch(a, effEditIdle);
            dispatch(a, effEditOpen, 0, 0, host);
            dispatch(a, effEditOpen, 0, 0, host);
            EXPECT_EQ(st::windowsOfClass(identity::kEditorClassName).size(), 1u);
            idleAndPaint(a);
            dispatch(a, effEditClose);
            dispatch(a, effEditClose);
            break;
        case 3: { // two editors open at once, closed first-opened first
            AEffect* b = create();
            ASSERT_NE(b, nullptr);
            dispatch(a, effEditOpen, 0, 0, host);
            dispatch(b, effEditOpen, 0, 0, host);
            idleAndPaint(a);
            idleAndPaint(b);
            dispatch(a, effEditClose);
            EXPECT_TRUE(st::classInfo(identity::kEditorClassName, moduleHandle()).registered);
            idleAndPaint(b);
            EXPECT_EQ(dispatch(b, effClose), 1); // b goes with its editor open
            dispatch(a, effEditOpen, 0, 0, host);
            idleAndPaint(a);
            dispatch(a, effEditClose);
            break;
        }
        case 4: // a host that gives no parent window
            nullParentUsed = true;
            EXPECT_EQ(dispatch(a, effEditOpen, 0, 0, nullptr), 1);
            dispatch(a, effEditIdle);
            dispatch(a, effEditClose);
            break;
        default: { // a drag, the editor closed in the middle of it and opened again
            dispatch(a, effEditOpen, 0, 0, host);
            const HWND window = editorWindow(a);
            st::sendMouse(window, WM_LBUTTONDOWN, 450, 90);
            st::sendMouse(window, WM_MOUSEMOVE, 450, 60, MK_LBUTTON);
            dispatch(a, effEditClose);
            dispatch(a, effEditOpen, 0, 0, host);
            idleAndPaint(a);
            st::sendMouse(editorWindow(a), WM_LBUTTONUP, 450, 60);
            dispatch(a, effEditClose);
            break;
        }
        }
        openedWindows += static_cast<int>(st::windowsOfClass(identity::kEditorClassName).size());
        EXPECT_EQ(dispatch(a, effClose), 1);
        if (!processIsAsBefore(cycle, pattern, nullParentUsed)) {
            return;
        }
        st::clearRecords();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("[ lifecycle] %d cycles in %.2f s, nothing left behind\n", cycles, seconds);
    EXPECT_GT(openedWindows, 0); // pattern 1 closes instances with a window open
}

} // namespace
