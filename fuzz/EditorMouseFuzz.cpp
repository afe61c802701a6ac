// The editor's mouse handling under arbitrary input: WM_LBUTTONDOWN, WM_MOUSEMOVE and
// WM_LBUTTONUP at any 16-bit client coordinates (with the capture a pointer outside the window
// arrives as a large x or y), the capture taken away by another window or released behind the
// editor's back (the object model tells the editor with WM_CAPTURECHANGED), idle calls and paints
// in between, the editor closed and reopened in the middle of a drag.
//
// Invariants: the six knob parameters stay within 0..1, the three switches are exactly 0 or 1
// and Active stays on; a button release leaves the capture with nobody; the offscreen system sees
// no misuse; after the instance is closed nothing of the editor is left alive.
#include <cstdint>
#include <string>

#include "editor/CompressorEditor.h"
#include "fuzz/EditorFuzzRun.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ModuleHandle.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/CompressorEffect.h"
#include "plugin/PluginIdentity.h"

using namespace fuzzing;
namespace st = offscreen;

namespace {

// Coordinates that matter: the knob, switch and link areas and their edges, the window's
// edges, and the values a pointer left of or above the window arrives as.
const int kInterestingX[] = {0,   2,   17,  18,  73,    74,    105,   106,  138, 154,
                             174, 175, 193, 369, 385,   405,   429,   484,  489, 503,
                             523, 544, 549, 550, 65535, 65000, 32767, 32768};
const int kInterestingY[] = {0,   58,  59,  60,  80,  113, 114,   131,   132,   148,  149,
                             160, 161, 169, 170, 171, 200, 65535, 65000, 32767, 32768};

unsigned chooseCoordinate(Input& in, const int* table, unsigned count) {
    if (in.flag()) {
        return in.u16();
    }
    return static_cast<unsigned>(table[in.pick(count)]);
}

class Session {
public:
    explicit Session(Input& in) : in(in) {
        host = st::createHostWindow(identity::kEditorWidth + 40, identity::kEditorHeight + 40);
        other = st::createHostWindow(100, 100);
        record = createInstance();
        effect = static_cast<CompressorEffect*>(EffectBase::fromRecord(record));
        open();
    }

    ~Session() {
        if (in.flag()) {
            dispatch(record, effEditClose);
        }
        closeInstance(record); // with the editor open or not
        DestroyWindow(other);
        DestroyWindow(host);
    }

    void run() {
        int steps = 0;
        while (!in.empty() && steps++ < 400) {
            step();
            checkValues();
        }
    }

private:
    void open() {
        FUZZ_CHECK(dispatch(record, effEditOpen, 0, 0, host) == 1);
        window = static_cast<CompressorEditor*>(effect->editorPointer())->windowHandle();
        FUZZ_CHECK(window != nullptr);
    }

    void mouse(UINT message) {
        const unsigned x = chooseCoordinate(in, kInterestingX, sizeof kInterestingX / sizeof(int));
        const unsigned y = chooseCoordinate(in, kInterestingY, sizeof kInterestingY / sizeof(int));
        st::sendMouse(window, message, static_cast<int>(x), static_cast<int>(y),
                      in.flag() ? MK_LBUTTON : 0);
    }

    // Mostly mouse messages; a paint (the costly part, a whole panel composed offscreen)
    // about one step in fifty, at most kPaintsPerInput of them.
    void step() {
        const unsigned choice = in.pick(48);
        if (choice < 8) {
            mouse(WM_LBUTTONDOWN);
        } else if (choice < 14) {
            mouse(WM_LBUTTONUP);
            FUZZ_CHECK(GetCapture() == nullptr);
        } else if (choice < 18) {
            // Another window takes the capture, or it is released behind the editor's back.
            if (in.flag()) {
                SetCapture(other);
            } else {
                ReleaseCapture();
            }
        } else if (choice == 18) {
            dispatch(record, effEditIdle);
            if (paints < kPaintsPerInput) {
                ++paints;
                st::pumpPaint(window);
            }
        } else if (choice == 19) {
            // Closed in the middle of whatever the mouse was doing, then opened again.
            dispatch(record, effEditClose);
            if (in.flag()) {
                dispatch(record, effEditClose); // a second close gives nothing back twice
            }
            open();
        } else if (choice < 22) {
            dispatch(record, effEditIdle); // invalidated, painted later or never
        } else {
            mouse(WM_MOUSEMOVE);
        }
    }

    void checkValues() {
        static const ParameterIndex kContinuous[] = {Threshold, Ratio,  Attack,
                                                     Release,   Output, Depth};
        static const ParameterIndex kSwitches[] = {Limiter, Softclip, AutoMakeUp};
        for (ParameterIndex index : kContinuous) {
            const float value = effect->core.parameter(index);
            FUZZ_CHECK(value >= 0.0f && value <= 1.0f);
        }
        for (ParameterIndex index : kSwitches) {
            const float value = effect->core.parameter(index);
            FUZZ_CHECK(value == 0.0f || value == 1.0f);
        }
        FUZZ_CHECK(effect->core.parameter(Active) == 1.0f);
        FUZZ_CHECK(static_cast<CompressorEditor*>(effect->editorPointer())->draggedKnob() <= 6);
    }

    // Repeated bytes could otherwise make one input paint hundreds of times.
    static constexpr int kPaintsPerInput = 12;

    Input& in;
    int paints = 0;
    HWND host = nullptr;
    HWND other = nullptr;
    HWND window = nullptr;
    AEffect* record = nullptr;
    CompressorEffect* effect = nullptr;
};

// This target's host makes no call the Win32 layer could object to.
bool explainedByHost(const std::string&) {
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return runEditorSession<Session>(data, size, explainedByHost);
}
