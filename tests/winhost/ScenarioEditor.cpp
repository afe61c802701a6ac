// The editor in a real window: where the host puts it, what it shows, how it answers the mouse,
// and the window class that instances share.
#include <atomic>
#include <cmath>
#include <cstring>

#include "tests/winhost/EditorChecks.h"
#include "tests/winhost/Scenarios.h"

using namespace editor_checks;

namespace {

// The threshold level the engine uses at the default Threshold byte (64).
float defaultThresholdLevel() {
    const std::uint32_t bits = 0x3BFE0902u;
    float factor;
    std::memcpy(&factor, &bits, sizeof(factor));
    const double scaled = 64.0 * static_cast<double>(factor);
    return static_cast<float>(scaled * scaled + static_cast<double>(0.01f));
}

void sendMouse(HWND editor, UINT message, int x, int y) {
    const WPARAM buttons = message == WM_LBUTTONUP ? 0 : MK_LBUTTON;
    SendMessageA(editor, message, buttons, MAKELPARAM(x, y));
}

// A vertical drag with the left button, as the system delivers it.
void drag(HWND editor, int x, int fromY, int toY) {
    sendMouse(editor, WM_LBUTTONDOWN, x, fromY);
    sendMouse(editor, WM_MOUSEMOVE, x, toY);
    sendMouse(editor, WM_LBUTTONUP, x, toY);
}

// The value a drag of `pixels` upward gives, by the editor's law: step rounded to single,
// sum in double, clamped, rounded to single.
float dragged(float value, int pixels) {
    const float step = static_cast<float>(static_cast<double>(pixels) * 0.01);
    const double sum = static_cast<double>(value) + static_cast<double>(step);
    return sum < 0.0 ? 0.0f : sum > 1.0 ? 1.0f : static_cast<float>(sum);
}

int differingSamples(const std::vector<float>& a, const std::vector<float>& b) {
    int count = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        count += std::memcmp(&a[i], &b[i], sizeof(float)) != 0;
    }
    return count;
}

void checkWindowPlacement(HWND editor, HWND host, HMODULE dll) {
    char className[64] = "";
    GetClassNameA(editor, className, sizeof(className));
    check(std::strcmp(className, "VSTEditorClass") == 0,
          "the editor window's class is VSTEditorClass", className);
    check(GetParent(editor) == host, "the editor window is a child of the host window");
    RECT client;
    GetClientRect(editor, &client);
    check(client.right - client.left == 550 && client.bottom - client.top == 170,
          "the editor's client area is 550 x 170",
          std::to_string(client.right - client.left) + " x " +
              std::to_string(client.bottom - client.top));
    RECT frame;
    GetWindowRect(editor, &frame);
    MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&frame), 2);
    check(frame.left == 0 && frame.top == 0, "the editor sits at (0, 0) of the host's client area",
          "at (" + std::to_string(frame.left) + ", " + std::to_string(frame.top) + ")");
    const LONG_PTR style = GetWindowLongPtrA(editor, GWL_STYLE);
    check((style & WS_CHILD) != 0 && (style & WS_VISIBLE) != 0 && IsWindowVisible(editor),
          "the editor window is a visible child (WS_CHILD | WS_VISIBLE)", hex(style));
    char title[64] = "";
    GetWindowTextA(editor, title, sizeof(title));
    check(std::strcmp(title, "Window") == 0, "the editor window's title is \"Window\"", title);
    check(GetClassLongPtrA(editor, GCL_STYLE) == 0 && GetClassLongPtrA(editor, GCLP_HCURSOR) == 0 &&
              GetClassLongPtrA(editor, GCLP_HBRBACKGROUND) == 0,
          "the class has style 0, no cursor and no background brush");
    check(reinterpret_cast<HMODULE>(GetClassLongPtrA(editor, GCLP_HMODULE)) == dll,
          "the class belongs to the DLL's module");
}

// What the single-instance editor scenarios start from: a started instance and a host window;
// the window is null (nothing to run) when the DLL's pictures or the instance are missing.
struct Stage {
    Instance instance;
    HWND host;
};

Stage stage(PluginLibrary& library, const Art& art, float sampleRate = 44100.0f,
            VstInt32 blockSize = 512) {
    Instance instance =
        startedInstance(library.newInstance(), "main gives an instance", sampleRate, blockSize);
    if (!art.valid() || instance.record() == nullptr) {
        return {instance, nullptr};
    }
    return {instance, createHostWindow("Quorvel test host", 40, 40)};
}

} // namespace

void scenarioEditorDefaults(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    Art art(library.module());
    auto [instance, host] = stage(library, art);
    if (host == nullptr) {
        return;
    }

    ERect* rect = nullptr;
    check(instance.dispatch(effEditGetRect, 0, 0, &rect) == 1 && rect != nullptr &&
              rect->right - rect->left == 550 && rect->bottom - rect->top == 170,
          "effEditGetRect gives 550 x 170 before the editor opens");
    check(!editorClassRegistered(library.module()), "VSTEditorClass is not registered before an "
                                                    "editor opens");

    Meters meters;
    std::vector<float> left, right;
    loudBlock(left, right, 512, 0.5f);
    for (int block = 0; block < 6; ++block) {
        meters.process(instance, left, right);
    }

    HWND editor = openEditor(instance, host, "at the defaults");
    if (editor == nullptr) {
        instance.close();
        return;
    }
    checkWindowPlacement(editor, host, library.module());
    check(countEditorWindows() == 1, "exactly one editor window exists");
    check(editorClassRegistered(library.module()), "VSTEditorClass is registered while the editor "
                                                   "is open");

    const Picture shot = idleAndCapture(instance, editor);
    const Panel defaults;
    checkPanel(shot, art.expected(defaults), "at the defaults");
    checkKnobs(shot, art, defaults, "at the defaults");
    checkLamps(shot, art, defaults, "at the defaults");
    checkBars(shot, art, meters, defaultThresholdLevel(), 1, "after loud audio");

    int textPixels = 0, exactTextColour = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (inTextArea(x, y) && shot.at(x, y) != art.background.at(x, y)) {
                ++textPixels;
                exactTextColour += shot.at(x, y) == rgb(52, 68, 97);
            }
        }
    }
    note("text_pixels", std::to_string(textPixels));
    note("text_pixels_in_text_colour", std::to_string(exactTextColour));
    check(textPixels >= 100 && exactTextColour >= 50,
          "the text panel is drawn over the display square in (52,68,97)",
          std::to_string(textPixels) + " pixels drawn, " + std::to_string(exactTextColour) +
              " in the text colour");

    // Closing and opening again: the new window paints the same picture.
    check(instance.dispatch(effEditClose) == 0, "effEditClose answers 0");
    pumpMessages();
    check(!IsWindow(editor) && countEditorWindows() == 0, "effEditClose destroys the window");
    check(!editorClassRegistered(library.module()),
          "VSTEditorClass is unregistered after the editor closes");
    editor = openEditor(instance, host, "again");
    if (editor != nullptr) {
        const Picture again = idleAndCapture(instance, editor);
        check(again.pixels == shot.pixels, "the reopened editor shows the same picture");
        instance.dispatch(effEditClose);
    }
    check(instance.close() == 1, "effClose answers 1");
    DestroyWindow(host);
    checkNoHostCallsAfterEntry("with the editor open");
}

void scenarioEditorInteraction(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    Art art(library.module());
    Instance edited = startedInstance(library.newInstance(), "main gives an instance to edit");
    Instance untouched = startedInstance(library.newInstance(), "main gives a second instance");
    if (!art.valid() || edited.record() == nullptr || untouched.record() == nullptr) {
        return;
    }
    HWND host = createHostWindow("Quorvel test host", 40, 40);

    std::vector<float> left, right;
    loudBlock(left, right, 512, 0.5f);
    bool same = true;
    for (int block = 0; block < 4; ++block) {
        same = same && differingSamples(edited.processReplacing(left, right),
                                        untouched.processReplacing(left, right)) == 0;
    }
    check(same, "two instances give the same output for the same input");

    HWND editor = openEditor(edited, host, "of the first instance");
    if (editor == nullptr) {
        edited.close();
        untouched.close();
        return;
    }
    Panel panel;
    const Picture before = idleAndCapture(edited, editor);
    checkKnobs(before, art, panel, "before the drag");

    // Threshold knob: press at (450, 100), move up 40 pixels, release.
    drag(editor, 450, 100, 60);
    panel.values[0] = dragged(panel.values[0], 40);
    const Picture afterDrag = idleAndCapture(edited, editor);
    checkKnobs(afterDrag, art, panel, "after dragging Threshold up 40 px");
    checkPanel(afterDrag, art.expected(panel), "after the drag");
    const int textChange = textAreaDifference(before, afterDrag);
    check(textChange > 0, "the text panel changes with the Threshold value",
          "no pixel of the text changed");

    // Ratio knob: movement below the window and (read unsigned) above it is ignored, and the
    // whole distance since the last handled position applies when the pointer is back.
    sendMouse(editor, WM_LBUTTONDOWN, 400, 100);
    sendMouse(editor, WM_MOUSEMOVE, 400, 200);
    sendMouse(editor, WM_MOUSEMOVE, 400, -10);
    sendMouse(editor, WM_MOUSEMOVE, 400, 90);
    sendMouse(editor, WM_LBUTTONUP, 400, 90);
    panel.values[1] = dragged(panel.values[1], 10);
    checkKnobs(idleAndCapture(edited, editor), art, panel,
               "after a Ratio drag that left the window and came back");

    // The drag has ended: movement without a press turns nothing.
    sendMouse(editor, WM_MOUSEMOVE, 450, 20);
    // Presses just outside the click areas start no drag, though they lie on knob pictures.
    drag(editor, 74, 80, 30);
    drag(editor, 17, 80, 30);
    const Picture afterMisses = idleAndCapture(edited, editor);
    checkKnobs(afterMisses, art, panel, "after presses outside the click areas");

    const std::vector<float> changed = edited.processReplacing(left, right);
    const std::vector<float> reference = untouched.processReplacing(left, right);
    const int differing = differingSamples(changed, reference);
    note("samples_changed_by_drag", std::to_string(differing));
    check(differing > 0, "the next block's audio follows the new Threshold");

    // Limiter lamp: a click at (395, 140) turns it on; a second click off again.
    sendMouse(editor, WM_LBUTTONDOWN, 395, 140);
    sendMouse(editor, WM_LBUTTONUP, 395, 140);
    panel.values[5] = 1.0f;
    const Picture limiterOn = idleAndCapture(edited, editor);
    checkLamps(limiterOn, art, panel, "after a click on the Limiter lamp");
    checkPanel(limiterOn, art.expected(panel), "with the Limiter on");
    check(textAreaDifference(afterMisses, limiterOn) > 0, "the text panel shows the Limiter");
    const std::vector<float> limited = edited.processReplacing(left, right);
    const std::vector<float> unlimited = untouched.processReplacing(left, right);
    check(differingSamples(limited, unlimited) > 0, "the audio follows with the Limiter on");

    sendMouse(editor, WM_LBUTTONDOWN, 395, 140);
    sendMouse(editor, WM_LBUTTONUP, 395, 140);
    panel.values[5] = 0.0f;
    const Picture limiterOff = idleAndCapture(edited, editor);
    checkLamps(limiterOff, art, panel, "after a second click on the Limiter lamp");

    std::string reported;
    AEffect* first = edited.record();
    for (VstInt32 index = 0; index < 10; ++index) {
        if (first->getParameter(first, index) != 0.0f) {
            reported += " " + std::to_string(index);
        }
    }
    check(reported.empty(), "getParameter still answers 0.0 after the edits", reported);

    edited.dispatch(effEditClose);
    check(edited.close() == 1 && untouched.close() == 1, "effClose answers 1 for both");
    DestroyWindow(host);
    checkNoHostCallsAfterEntry("after the knob drag and the lamp clicks");
}

void scenarioEditorLostCapture(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    Art art(library.module());
    auto [instance, host] = stage(library, art);
    if (host == nullptr) {
        return;
    }
    HWND editor = openEditor(instance, host, "for the drag");
    if (editor == nullptr) {
        instance.close();
        return;
    }
    Panel panel;

    // Another window takes the capture in the middle of a Threshold drag. The drag ends with
    // the capture: a pointer that merely hovers over the editor afterwards turns nothing.
    sendMouse(editor, WM_LBUTTONDOWN, 450, 100);
    SendMessageA(editor, WM_MOUSEMOVE, 0, MAKELPARAM(450, 95));
    panel.values[0] = dragged(panel.values[0], 5);
    checkKnobs(idleAndCapture(instance, editor), art, panel, "during the drag");
    SetCapture(host);
    ReleaseCapture();
    SendMessageA(editor, WM_MOUSEMOVE, 0, MAKELPARAM(450, 60));
    checkKnobs(idleAndCapture(instance, editor), art, panel,
               "after a move that followed a lost capture");
    sendMouse(editor, WM_LBUTTONUP, 450, 60);

    // The host closes the editor during a drag and opens it again: the drag ended with the
    // window, so movement in the reopened editor turns nothing.
    sendMouse(editor, WM_LBUTTONDOWN, 450, 100);
    instance.dispatch(effEditClose);
    editor = openEditor(instance, host, "again during the drag");
    if (editor != nullptr) {
        SendMessageA(editor, WM_MOUSEMOVE, 0, MAKELPARAM(450, 70));
        checkKnobs(idleAndCapture(instance, editor), art, panel,
                   "after a move in the reopened editor");
        // A new press starts a new drag as usual.
        sendMouse(editor, WM_LBUTTONDOWN, 450, 100);
        SendMessageA(editor, WM_MOUSEMOVE, 0, MAKELPARAM(450, 90));
        panel.values[0] = dragged(panel.values[0], 10);
        sendMouse(editor, WM_LBUTTONUP, 450, 90);
        checkKnobs(idleAndCapture(instance, editor), art, panel, "after a new drag");
        // The release ended it.
        SendMessageA(editor, WM_MOUSEMOVE, 0, MAKELPARAM(450, 40));
        checkKnobs(idleAndCapture(instance, editor), art, panel, "after the release");
        instance.dispatch(effEditClose);
    }
    check(instance.close() == 1, "effClose answers 1");
    DestroyWindow(host);
    checkNoHostCallsAfterEntry("after the drags");
}

namespace {

// What a host's audio thread does: blocks of noise through processReplacing until told to stop.
struct AudioThread {
    AEffect* effect;
    std::atomic<bool> stop{false};
    std::atomic<int> blocks{0};
    std::atomic<int> badSamples{0};

    static DWORD WINAPI run(void* argument) {
        AudioThread& self = *static_cast<AudioThread*>(argument);
        std::vector<float> inLeft(256), inRight(256), outLeft(256), outRight(256);
        std::uint32_t state = 0x9E3779B9u;
        while (!self.stop.load()) {
            for (std::size_t k = 0; k < inLeft.size(); ++k) {
                state = state * 1664525u + 1013904223u;
                inLeft[k] = (static_cast<float>(state >> 8) * (1.0f / 8388608.0f) - 1.0f) * 0.8f;
                inRight[k] = -inLeft[k];
            }
            float* inputs[2] = {inLeft.data(), inRight.data()};
            float* outputs[2] = {outLeft.data(), outRight.data()};
            self.effect->processReplacing(self.effect, inputs, outputs, 256);
            for (std::size_t k = 0; k < outLeft.size(); ++k) {
                if (!std::isfinite(outLeft[k]) || !std::isfinite(outRight[k]) ||
                    std::fabs(outLeft[k]) > 4.0f) {
                    self.badSamples.fetch_add(1);
                }
            }
            self.blocks.fetch_add(1);
        }
        return 0;
    }
};

} // namespace

void scenarioEditorWithAudioThread(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    Art art(library.module());
    auto [instance, host] = stage(library, art, 48000.0f, 256);
    if (host == nullptr) {
        return;
    }
    HWND editor = openEditor(instance, host, "while audio runs");

    AudioThread audio;
    audio.effect = instance.record();
    HANDLE thread = CreateThread(nullptr, 0, AudioThread::run, &audio, 0, nullptr);
    check(thread != nullptr, "the audio thread starts");

    // The UI thread idles the editor and turns knobs while the audio thread processes.
    Panel panel;
    for (int step = 0; editor != nullptr && step < 150; ++step) {
        idleAndPump(instance, 1);
        if (step % 10 == 5) {
            const int pixels = (step / 10) % 2 == 0 ? 7 : -4;
            drag(editor, 450, 100, 100 - pixels);
            panel.values[0] = dragged(panel.values[0], pixels);
            drag(editor, 30, 100, 100 - pixels);
            panel.values[2] = dragged(panel.values[2], pixels);
        }
    }
    if (editor != nullptr) {
        const Picture shot = idleAndCapture(instance, editor);
        checkKnobs(shot, art, panel, "after drags during processing");
        checkLamps(shot, art, panel, "after drags during processing");
        // The host closes the editor while its audio thread still runs.
        instance.dispatch(effEditClose);
        pumpMessages();
    }
    Sleep(50);
    audio.stop.store(true);
    if (thread != nullptr) {
        check(WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0, "the audio thread stops");
        CloseHandle(thread);
    }
    note("audio_blocks", std::to_string(audio.blocks.load()));
    check(audio.blocks.load() > 0, "the audio thread processed blocks");
    check(audio.badSamples.load() == 0,
          "every output sample of the audio thread is finite and bounded",
          std::to_string(audio.badSamples.load()) + " bad samples");
    check(instance.close() == 1, "effClose answers 1");
    DestroyWindow(host);
    checkNoHostCallsAfterEntry("with an audio thread");
}

void scenarioEditorClassSharing(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    HMODULE dll = library.module();
    Instance first = startedInstance(library.newInstance(), "main gives a first instance");
    Instance second = startedInstance(library.newInstance(), "main gives a second instance");
    if (first.record() == nullptr || second.record() == nullptr) {
        return;
    }
    HWND hostA = createHostWindow("host A", 20, 20);
    HWND hostB = createHostWindow("host B", 20, 260);

    for (int order = 0; order < 2; ++order) {
        const std::string round = order == 0 ? " (first closed first)" : " (second closed first)";
        check(!editorClassRegistered(dll), "no class registered before the editors open" + round);
        HWND a = openEditor(first, hostA, "of the first instance" + round);
        check(editorClassRegistered(dll) && countEditorWindows() == 1,
              "one editor open: class registered, one window" + round);
        HWND b = openEditor(second, hostB, "of the second instance" + round);
        check(editorClassRegistered(dll) && countEditorWindows() == 2 && a != b,
              "two editors open: class registered, two windows" + round);
        idleAndPump(first);
        idleAndPump(second);
        const Instance& closedFirst = order == 0 ? first : second;
        const Instance& closedLast = order == 0 ? second : first;
        closedFirst.dispatch(effEditClose);
        pumpMessages();
        check(editorClassRegistered(dll) && countEditorWindows() == 1,
              "one of two editors closed: class still registered, one window" + round);
        idleAndPump(closedLast);
        closedLast.dispatch(effEditClose);
        pumpMessages();
        check(!editorClassRegistered(dll) && countEditorWindows() == 0,
              "last editor closed: class unregistered, no window" + round);
    }

    // Registered anew for the next editor, which paints normally.
    Art art(dll);
    HWND again = openEditor(second, hostB, "after both closed");
    check(editorClassRegistered(dll), "the class is registered again for a new editor");
    if (again != nullptr && art.valid()) {
        const Picture shot = idleAndCapture(second, again);
        checkKnobs(shot, art, Panel(), "in the editor opened again");
    }
    second.dispatch(effEditClose);
    check(!editorClassRegistered(dll), "and unregistered when it closes");

    check(first.close() == 1 && second.close() == 1, "effClose answers 1 for both");
    DestroyWindow(hostA);
    DestroyWindow(hostB);
    checkNoHostCallsAfterEntry("with two editors");
}

void scenarioScreenshot(ScenarioContext& context) {
    Instance instance = startedInstance(context.library.newInstance());
    if (instance.record() == nullptr) {
        return;
    }
    HWND host = createHostWindow("Quorvel Demo", 40, 40);
    // A few blocks of noise bursts, so that the level bars show something.
    std::uint32_t state = 0x2545F491u;
    std::vector<float> left(512), right(512);
    for (int block = 0; block < 12; ++block) {
        const float level = block % 3 == 1 ? 0.15f : 0.7f;
        for (std::size_t k = 0; k < left.size(); ++k) {
            state = state * 1664525u + 1013904223u;
            left[k] = (static_cast<float>(state >> 8) * (1.0f / 8388608.0f) - 1.0f) * level;
            right[k] = left[k] * 0.8f;
        }
        instance.processReplacing(left, right);
    }
    HWND editor = openEditor(instance, host, "for the picture");
    if (editor != nullptr) {
        const Picture shot = idleAndCapture(instance, editor);
        check(shot.width == 550 && shot.height == 170, "the picture is 550 x 170");
        check(!context.outputPath.empty() && writeBmp(context.outputPath, shot),
              "the picture is written to " + context.outputPath);
        instance.dispatch(effEditClose);
    }
    instance.close();
    DestroyWindow(host);
}
