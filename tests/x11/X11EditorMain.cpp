// quorvel_x11_host <module.so> <scenario>: the editor of the Linux shared object in a window of
// this host on the X server of xvfb-run, checked with the Wine tests' editor checks, driven with
// real pointer events (XTest). Prints one line per check; the exit code counts the failures.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "plugin/PluginIdentity.h"
#include "tests/audio/Reference.h"
#include "tests/winhost/EditorChecks.h"
#include "tests/x11/X11Host.h"

using namespace editor_checks;
using namespace x11_host;

namespace {

// Where this host puts its window for the editor: root coordinates of the editor's origin.
constexpr int kLeft = 100;
constexpr int kTop = 100;

struct Context {
    Module& module;
    Display& display;
    Art art{nullptr};
};

// The value a drag of `pixels` upward gives, by the editor's law: step rounded to single,
// sum in double, clamped, rounded to single.
float dragged(float value, int pixels) {
    const float step = static_cast<float>(static_cast<double>(pixels) * 0.01);
    const double sum = static_cast<double>(value) + static_cast<double>(step);
    return sum < 0.0 ? 0.0f : sum > 1.0 ? 1.0f : static_cast<float>(sum);
}

// Opens the editor in `parent` and idles it; null when it answered 0 or made no child window.
xcb_window_t openEditor(Context& context, const Instance& instance, xcb_window_t parent,
                        const std::string& what) {
    const VstIntPtr answer =
        instance.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{parent}));
    idle(instance);
    const std::vector<xcb_window_t> children = context.display.children(parent);
    check(answer == 1 && children.size() == 1,
          "effEditOpen " + what + " answers 1 and makes one child of the host's window",
          "answered " + std::to_string(answer) + ", " + std::to_string(children.size()) +
              " children");
    return children.size() == 1 ? children[0] : 0;
}

// A started instance with its editor opened (`what`) in a new window of this host at (kLeft,
// kTop); the record is null or the editor 0 when they did not come.
struct Session {
    Instance instance;
    xcb_window_t parent;
    xcb_window_t editor;
};

Session openSession(Context& context, const std::string& what) {
    Instance instance =
        startedInstance(context.module.newInstance(), "VSTPluginMain gives an instance");
    if (instance.record() == nullptr) {
        return {instance, 0, 0};
    }
    const xcb_window_t parent = context.display.createWindow(kLeft, kTop);
    return {instance, parent, openEditor(context, instance, parent, what)};
}

Picture idleAndCapture(Context& context, const Instance& instance, xcb_window_t editor) {
    idle(instance);
    return context.display.capture(editor);
}

// Runs loud blocks through the instance and through the reference at `panel`'s values, and
// checks that they agree bit for bit.
void checkAudioAgainstReference(const Instance& instance, reference::EffectState& state,
                                const Panel& panel, const std::string& when) {
    for (int i = 0; i < kParameterCount; ++i) {
        state.parameters[i] = panel.values[i];
    }
    std::vector<float> left, right;
    loudBlock(left, right, 512, 0.5f);
    int differing = 0;
    for (int block = 0; block < 4; ++block) {
        const std::vector<float> product = instance.processReplacing(left, right);
        std::vector<float> l = left, r = right, outL(512), outR(512);
        float* inputs[2] = {l.data(), r.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        reference::processBlock(state, inputs, outputs, 512, true);
        for (int k = 0; k < 512; ++k) {
            differing += std::memcmp(&product[k], &outL[k], 4) != 0;
            differing += std::memcmp(&product[512 + k], &outR[k], 4) != 0;
        }
    }
    check(differing == 0, "the audio " + when + " equals the reference's, bit for bit",
          std::to_string(differing) + " samples differ");
}

// The end of a session whose panel shows `panel`: the knobs, then the audio, from fresh
// reference state, against the reference; the editor and the instance closed.
void closeSession(Context& context, Session& session, const Panel& panel, const std::string& when) {
    Instance& instance = session.instance;
    checkKnobs(idleAndCapture(context, instance, session.editor), context.art, panel, when);
    reference::EffectState state;
    checkAudioAgainstReference(instance, state, panel, when);
    instance.dispatch(effEditClose);
    instance.close();
}

void defaults(Context& context) {
    Instance instance =
        startedInstance(context.module.newInstance(), "VSTPluginMain gives an instance");
    if (instance.record() == nullptr) {
        return;
    }
    check((instance.record()->flags & effFlagsHasEditor) != 0,
          "the instance says it has an editor");

    // Loud audio first, measured by the meter law and by the reference for the threshold.
    Meters meters;
    reference::EffectState state;
    std::vector<float> left, right;
    loudBlock(left, right, 512, 0.5f);
    for (int block = 0; block < 6; ++block) {
        meters.process(instance, left, right);
        std::vector<float> l = left, r = right, outL(512), outR(512);
        float* inputs[2] = {l.data(), r.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        reference::processBlock(state, inputs, outputs, 512, true);
    }

    const xcb_window_t parent = context.display.createWindow(kLeft, kTop);
    const xcb_window_t editor = openEditor(context, instance, parent, "at the defaults");
    if (editor != 0) {
        const Picture shot = idleAndCapture(context, instance, editor);
        const Panel defaults;
        checkPanel(shot, context.art.expected(defaults), "at the defaults");
        checkKnobs(shot, context.art, defaults, "at the defaults");
        checkLamps(shot, context.art, defaults, "at the defaults");
        checkBars(shot, context.art, meters, state.engine.thresholdLevel, 1, "after loud audio");
        check(textAreaDifference(shot, context.art.expected(defaults)) > 100,
              "the text panel shows text", "no text drawn");
        if (const char* path = std::getenv("QUORVEL_EDITOR_PICTURE")) {
            check(writePng(path, shot), std::string("the picture is written to ") + path);
        }
    }
    instance.dispatch(effEditClose);
    instance.close();
}

// A press at editor point (x, y), moves through `path` (editor y values at the same x, any of
// them outside the window) and a release at the last one, each step seen by an idle call.
void pointerDrag(Context& context, const Instance& instance, int x, int y,
                 const std::vector<int>& path) {
    Display& display = context.display;
    display.movePointer(kLeft + x, kTop + y);
    idle(instance, 1);
    display.button(true);
    idle(instance, 1);
    for (int to : path) {
        display.movePointer(kLeft + x, kTop + to);
        idle(instance, 1);
    }
    display.button(false);
    idle(instance, 1);
}

void drag(Context& context) {
    Session session = openSession(context, "for the drag");
    Instance& instance = session.instance;
    if (session.editor == 0) {
        return;
    }
    const xcb_window_t editor = session.editor;
    const Panel defaults;
    const Picture before = idleAndCapture(context, instance, editor);

    // Threshold: 20 pixels up, then above the window (y reads as 65526: ignored, the last y
    // stays), then back in at 50: 30 more pixels from 80.
    Panel panel;
    pointerDrag(context, instance, 450, 100, {80, -10, 50});
    panel.values[Threshold] = dragged(dragged(defaults.values[Threshold], 20), 30);
    // Ratio: far down (below the window: ignored) then 100 pixels down from the press, clamped.
    pointerDrag(context, instance, 400, 60, {400, 160});
    panel.values[Ratio] = dragged(defaults.values[Ratio], -100);
    // The Limiter lamp: a click switches it on.
    pointerDrag(context, instance, 395, 140, {});
    panel.values[Limiter] = 1.0f;

    const Picture after = idleAndCapture(context, instance, editor);
    check(textAreaDifference(before, after) > 0 || before.pixels != after.pixels,
          "the picture changes with the drag");
    checkPanel(after, context.art.expected(panel), "after the drags and the click");
    checkLamps(after, context.art, panel, "after the drags and the click");
    closeSession(context, session, panel, "after the drags and the click");
}

// The window loses the pointer grab in the middle of a drag (the host hides its window): the
// drag ends, as it does on a lost capture, and the pointer moving on with the button held
// turns nothing.
void lostGrab(Context& context) {
    Session session = openSession(context, "for the lost grab");
    Instance& instance = session.instance;
    if (session.editor == 0) {
        return;
    }
    Display& display = context.display;
    Panel panel;
    display.movePointer(kLeft + 450, kTop + 100);
    display.button(true);
    display.movePointer(kLeft + 450, kTop + 90);
    idle(instance, 1);
    panel.values[Threshold] = dragged(panel.values[Threshold], 10);

    display.mapWindow(session.parent, false);
    idle(instance, 2);
    display.mapWindow(session.parent, true);
    idle(instance, 2);
    display.movePointer(kLeft + 450, kTop + 40);
    idle(instance, 1);
    display.button(false);
    idle(instance, 1);

    closeSession(context, session, panel, "after the lost grab");
}

// What hosts do in odd orders, and parents that are no window: nothing leaks, nothing is used
// after it is gone, and audio goes on.
void hostOrders(Context& context) {
    Display& display = context.display;
    const int files = openFileCount();
    Instance first(context.module.newInstance());
    Instance second(context.module.newInstance());
    first.startUp();
    second.startUp();
    const xcb_window_t mainParent = display.createWindow(kLeft, kTop);
    const xcb_window_t otherParent = display.createWindow(kLeft, kTop + 250);

    first.dispatch(effEditClose);
    first.dispatch(effEditIdle);
    check(display.children(mainParent).empty(), "close and idle without open make no window");

    openEditor(context, first, mainParent, "the first time");
    openEditor(context, first, mainParent, "a second time without a close");

    // Two instances, each in its own window, each showing its own panel.
    const xcb_window_t secondEditor =
        openEditor(context, second, otherParent, "of a second instance");
    if (secondEditor != 0) {
        checkPanel(idleAndCapture(context, second, secondEditor), context.art.expected(Panel()),
                   "of the second instance");
    }

    // The host destroys its window before it closes the editor.
    display.destroyWindow(mainParent);
    idle(first, 2);
    first.dispatch(effEditClose);
    first.dispatch(effEditClose);
    const xcb_window_t newParent = display.createWindow(kLeft, kTop);
    const xcb_window_t reopened =
        openEditor(context, first, newParent, "after the host destroyed the last parent");

    // The server breaks the editor's connection (as it does when killing a client).
    if (reopened != 0) {
        xcb_kill_client(display.get(), reopened);
        display.sync();
        idle(first, 2);
        first.dispatch(effEditClose);
        openEditor(context, first, newParent, "after the server broke the connection");
    }
    first.dispatch(effEditClose);
    check(display.children(newParent).empty(), "effEditClose takes the window away");

    // No usable parent, or no display at all: effEditOpen answers 0 and makes nothing.
    const std::string displayName = std::getenv("DISPLAY");
    const std::pair<const char*, std::function<VstIntPtr()>> refusals[] = {
        {"a null parent", [&] { return first.dispatch(effEditOpen, 0, 0, nullptr); }},
        {"a parent id that is no window",
         [&] { return first.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(0x3FFFFFF)); }},
        {"a parent id beyond 32 bits",
         [&] {
             return first.dispatch(effEditOpen, 0, 0,
                                   reinterpret_cast<void*>(~std::uintptr_t{0} - 7));
         }},
        {"no display",
         [&] {
             unsetenv("DISPLAY");
             const VstIntPtr answer = first.dispatch(
                 effEditOpen, 0, 0, reinterpret_cast<void*>(std::uintptr_t{newParent}));
             setenv("DISPLAY", displayName.c_str(), 1);
             return answer;
         }},
    };
    for (const auto& refusal : refusals) {
        const VstIntPtr answer = refusal.second();
        first.dispatch(effEditIdle);
        first.dispatch(effEditClose);
        check(answer == 0 && display.children(newParent).empty(),
              std::string("effEditOpen with ") + refusal.first + " answers 0 and makes no window",
              "answered " + std::to_string(answer));
    }
    reference::EffectState state;
    checkAudioAgainstReference(first, state, Panel(), "after the refused opens");

    second.dispatch(effEditClose);
    check(display.children(otherParent).empty(), "the second instance's window is gone");
    first.close();
    second.close();
    check(openFileCount() == files, "as many files are open as before",
          std::to_string(files) + " before, " + std::to_string(openFileCount()) + " after");
}

// 200 open/close cycles, while another thread makes and closes instances (whose editors make
// nothing until they open), as hosts that load plug-ins off the UI thread do.
void cycles(Context& context) {
    Instance instance(context.module.newInstance());
    instance.startUp();
    const xcb_window_t parent = context.display.createWindow(kLeft, kTop);
    const int files = openFileCount();
    const std::size_t windows = context.display.children(parent).size();
    std::atomic<bool> cycling{true};
    std::atomic<int> made{0};
    std::thread loader([&] {
        while (cycling.load()) {
            Instance other(context.module.newInstance());
            other.close();
            ++made;
        }
    });
    int shown = 0;
    for (int cycle = 0; cycle < 200; ++cycle) {
        shown += instance.dispatch(effEditOpen, 0, 0,
                                   reinterpret_cast<void*>(std::uintptr_t{parent})) == 1;
        instance.dispatch(effEditIdle);
        shown -= context.display.children(parent).size() != windows + 1;
        instance.dispatch(effEditClose);
    }
    cycling.store(false);
    loader.join();
    note("instances_made_meanwhile", std::to_string(made.load()));
    check(shown == 200, "200 opens each make one window", std::to_string(shown) + " did");
    check(context.display.children(parent).size() == windows && openFileCount() == files,
          "after 200 open/close cycles the windows under the parent and the open files are as "
          "before",
          std::to_string(context.display.children(parent).size()) + " windows, " +
              std::to_string(openFileCount()) + " files instead of " + std::to_string(files));
    instance.close();
}

// The stand-in for xdg-open: this program under that name. It writes what it was started with
// (its arguments, its parent, its open descriptors) to QUORVEL_OPENER_RECORD, after a second,
// so that the click cannot have waited for it.
int standInOpener(int argc, char** argv) {
    std::string descriptors;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(directory)) {
            if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != dirfd(directory)) {
                descriptors += std::string(descriptors.empty() ? "" : " ") + entry->d_name;
            }
        }
        closedir(directory);
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const std::string record = std::getenv("QUORVEL_OPENER_RECORD");
    {
        std::ofstream file(record + ".part");
        file << argc << "\n"
             << (argc > 1 ? argv[1] : "") << "\n"
             << getppid() << "\n"
             << descriptors << "\n";
    }
    return std::rename((record + ".part").c_str(), record.c_str()) == 0 ? 0 : 1;
}

// The maker's link: a click starts xdg-open (here this program under that name, found first on
// PATH) with the page as its one argument, straight from the host (no intermediate process),
// with only the standard descriptors (not one the host left inheritable), returns before the
// opener has finished, and reaps it at an idle without leaving a zombie.
void link(Context& context, const std::string& workDirectory, const char* self) {
    const std::string bin = workDirectory + "/opener";
    const std::string record = workDirectory + "/opened.txt";
    mkdir(bin.c_str(), 0755);
    std::remove(record.c_str());
    std::remove((bin + "/xdg-open").c_str());
    check(symlink(self, (bin + "/xdg-open").c_str()) == 0, "the stand-in opener is in place");
    setenv("PATH", (bin + ":" + std::getenv("PATH")).c_str(), 1);
    setenv("QUORVEL_OPENER_RECORD", record.c_str(), 1);
    // A descriptor the host leaves inheritable: the opener must not get it.
    const int inheritable = open("/dev/null", O_RDONLY);

    Session session = openSession(context, "for the link");
    Instance& instance = session.instance;
    // The pointer shows the hand over the link only.
    Display& display = context.display;
    display.movePointer(kLeft + 300, kTop + 20);
    idle(instance, 1);
    const std::vector<std::uint32_t> elsewhere = display.cursorImage();
    display.movePointer(kLeft + 50, kTop + 165);
    idle(instance, 1);
    const std::vector<std::uint32_t> overLink = display.cursorImage();
    display.movePointer(kLeft + 300, kTop + 20);
    idle(instance, 1);
    check(!overLink.empty() && overLink != elsewhere && display.cursorImage() == elsewhere,
          "the pointer changes over the link and back off it");

    const auto start = std::chrono::steady_clock::now();
    pointerDrag(context, instance, 50, 165, {});
    const auto clicked = std::chrono::steady_clock::now() - start;
    check(clicked < std::chrono::milliseconds(800),
          "the click returns without waiting for xdg-open");

    std::string count;
    for (int i = 0; i < 100 && count.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream file(record);
        std::getline(file, count);
    }
    std::ifstream file(record);
    std::string argumentCount, opened, openerParent, descriptors;
    std::getline(file, argumentCount);
    std::getline(file, opened);
    std::getline(file, openerParent);
    std::getline(file, descriptors);
    check(argumentCount == "2" && opened == identity::kMakerWebPage,
          "xdg-open is started with the maker's page as its one argument", opened);
    check(openerParent == std::to_string(getpid()), "the host itself starts it (no intermediate)",
          "parent " + openerParent);
    check(descriptors == "0 1 2", "it has only the standard descriptors", descriptors);
    close(inheritable);
    // The opener is gone once it has renamed its record; the next idle reaps it.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    idle(instance, 1);
    errno = 0;
    check(waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD,
          "after an idle no child process (and no zombie) is left in the host");
    instance.dispatch(effEditClose);
    instance.close();
}

} // namespace

int main(int argc, char** argv) {
    const char* name = std::strrchr(argv[0], '/');
    if (std::strcmp(name != nullptr ? name + 1 : argv[0], "xdg-open") == 0) {
        return standInOpener(argc, argv);
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s module.so scenario [work-directory]\n", argv[0]);
        return 2;
    }
    Display display;
    if (!check(display.connected(), "the host connects to the X server")) {
        return 1;
    }
    Module module(argv[1]);
    if (!check(module.loaded(), std::string("the module loads: ") + argv[1])) {
        return 1;
    }
    Context context{module, display};
    if (!context.art.valid()) {
        return 1;
    }
    const std::string scenario = argv[2];
    if (scenario == "defaults") {
        defaults(context);
    } else if (scenario == "drag") {
        drag(context);
    } else if (scenario == "lost-grab") {
        lostGrab(context);
    } else if (scenario == "host-orders") {
        hostOrders(context);
    } else if (scenario == "cycles") {
        cycles(context);
    } else if (scenario == "link" && argc > 3) {
        link(context, argv[3], argv[0]);
    } else {
        check(false, "known scenario", scenario);
    }
    return failureCount() == 0 ? 0 : 1;
}
