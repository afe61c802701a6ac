// Hosts that call in odd orders or with odd arguments. Each case must leave the host running,
// the plug-in usable, no editor window behind and no GDI object leaked.
//
// The system creates some GDI objects lazily and keeps them for reuse (Wine does, for the first
// windows and paints of a kind), so each case runs in rounds: the first rounds fill whatever
// the system keeps, and the later rounds must end with exactly as many GDI objects as they
// started with. A leak repeats in every round; a cache does not.
#include <cmath>
#include <cstring>

#include "tests/winhost/EditorChecks.h"
#include "tests/winhost/Scenarios.h"

using namespace editor_checks;

namespace {

void checkNoEditorLeft(HMODULE dll, const std::string& when) {
    pumpMessages();
    check(countEditorWindows() == 0, "no editor window is left " + when,
          std::to_string(countEditorWindows()) + " windows");
    check(!editorClassRegistered(dll), "VSTEditorClass is not left registered " + when);
}

struct Hosts {
    HWND main;
    HWND other;
};

using Round = void (*)(PluginLibrary& library, const Hosts& hosts, const std::string& round);

// Runs `round` four times in the same host windows: two rounds to fill whatever the system
// caches, then two that must end with exactly as many GDI objects as they started with.
void runRounds(PluginLibrary& library, Round round, const std::string& what) {
    const Hosts hosts{createHostWindow("host", 40, 40), createHostWindow("other host", 40, 300)};
    for (const char* name : {"(round 1)", "(round 2)"}) {
        round(library, hosts, name);
        checkNoEditorLeft(library.module(), std::string("after ") + name);
    }
    pumpMessages();
    const int freeBefore = freeGdiHandles();
    const DWORD reportedBefore = reportedGdiObjects();
    for (const char* name : {"(round 3)", "(round 4)"}) {
        round(library, hosts, name);
        checkNoEditorLeft(library.module(), std::string("after ") + name);
    }
    const int leaked = freeBefore - freeGdiHandles();
    note("gdi_objects_left_by_rounds_3_and_4", std::to_string(leaked));
    note("gdi_objects_reported_before_and_after_rounds_3_and_4",
         std::to_string(reportedBefore) + "," + std::to_string(reportedGdiObjects()));
    check(leaked == 0, "rounds 3 and 4 " + what + " leave no GDI object",
          std::to_string(leaked) + " objects left");
    DestroyWindow(hosts.main);
    DestroyWindow(hosts.other);
}

// A fresh instance opens, paints and closes its editor normally, with the class registered
// exactly while the window is open.
void checkEditorStillWorks(PluginLibrary& library, HWND host, const std::string& when) {
    Art art(library.module());
    Instance instance = startedInstance(library.newInstance(), "main gives an instance " + when);
    if (!art.valid() || instance.record() == nullptr) {
        return;
    }
    HWND editor = openEditor(instance, host, when);
    check(editorClassRegistered(library.module()) && countEditorWindows() == 1,
          "the class is registered and one window is open " + when);
    if (editor != nullptr) {
        checkKnobs(idleAndCapture(instance, editor), art, Panel(), when);
    }
    instance.dispatch(effEditClose);
    pumpMessages();
    check(!editorClassRegistered(library.module()) && countEditorWindows() == 0,
          "closing it unregisters the class and removes the window " + when);
    instance.close();
}

void closeWithoutOpenRound(PluginLibrary& library, const Hosts& hosts, const std::string& round) {
    HWND host = hosts.main;
    Instance instance = startedInstance(library.newInstance(), "main gives an instance " + round);
    if (instance.record() == nullptr) {
        return;
    }
    check(instance.dispatch(effEditClose) == 0, "effEditClose without an open answers 0 " + round);
    pumpMessages();
    check(countEditorWindows() == 0 && !editorClassRegistered(library.module()),
          "and leaves no window and no class " + round);

    Art art(library.module());
    HWND editor = openEditor(instance, host, "after the stray close " + round);
    check(editorClassRegistered(library.module()),
          "the class is registered while that editor is open " + round);
    if (editor != nullptr && art.valid()) {
        checkKnobs(idleAndCapture(instance, editor), art, Panel(),
                   "after the stray close " + round);
    }
    instance.dispatch(effEditClose);
    pumpMessages();
    check(countEditorWindows() == 0 && !editorClassRegistered(library.module()),
          "closing it removes window and class " + round);

    // A second stray close after a proper one.
    instance.dispatch(effEditClose);
    checkEditorStillWorks(library, host, "after two stray closes " + round);
    check(instance.close() == 1, "effClose answers 1 " + round);
}

void openTwiceRound(PluginLibrary& library, const Hosts& hosts, const std::string& round) {
    HWND host = hosts.main;
    Instance instance = startedInstance(library.newInstance(), "main gives an instance " + round);
    if (instance.record() == nullptr) {
        return;
    }
    const VstIntPtr firstAnswer = instance.dispatch(effEditOpen, 0, 0, host);
    const VstIntPtr secondAnswer = instance.dispatch(effEditOpen, 0, 0, host);
    idleAndPump(instance);
    note("answers", std::to_string(firstAnswer) + "," + std::to_string(secondAnswer));
    note("editor_windows_after_two_opens", std::to_string(countEditorWindows()));
    check(firstAnswer == 1 && secondAnswer == 1, "both effEditOpen calls answer 1 " + round);
    check(countEditorWindows() == 1,
          "one instance shows one editor window after two opens " + round,
          std::to_string(countEditorWindows()) + " windows");

    instance.dispatch(effEditClose);
    pumpMessages();
    check(countEditorWindows() == 0, "one effEditClose removes the editor window " + round,
          std::to_string(countEditorWindows()) + " windows remain");
    check(!editorClassRegistered(library.module()),
          "the class is unregistered once the editor is closed " + round);
    // Whatever window may be left must not reach a deleted editor.
    RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    check(instance.close() == 1, "effClose answers 1 " + round);
    pumpMessages();
    RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
    checkEditorStillWorks(library, host, "after a double open " + round);
}

void idleWithoutWindowRound(PluginLibrary& library, const Hosts& hosts, const std::string& round) {
    HWND host = hosts.main;
    Instance instance = startedInstance(library.newInstance(), "main gives an instance " + round);
    if (instance.record() == nullptr) {
        return;
    }
    bool allZero = true;
    for (int i = 0; i < 20; ++i) {
        allZero = allZero && instance.dispatch(effEditIdle) == 0;
    }
    pumpMessages();
    check(allZero && countEditorWindows() == 0,
          "effEditIdle before any open answers 0 and makes no window " + round);
    instance.dispatch(effEditOpen, 0, 0, host);
    idleAndPump(instance);
    instance.dispatch(effEditClose);
    allZero = true;
    for (int i = 0; i < 20; ++i) {
        allZero = allZero && instance.dispatch(effEditIdle) == 0;
    }
    pumpMessages();
    check(allZero && countEditorWindows() == 0,
          "effEditIdle after the editor closed answers 0 and makes no window " + round);
    check(instance.close() == 1, "effClose answers 1 " + round);
    checkEditorStillWorks(library, host, "after idles without a window " + round);
}

void closeEffectWithEditorOpenRound(PluginLibrary& library, const Hosts& hosts,
                                    const std::string& round) {
    HWND host = hosts.main;
    Instance instance = startedInstance(library.newInstance(), "main gives an instance " + round);
    if (instance.record() == nullptr) {
        return;
    }
    HWND editor = openEditor(instance, host, "before effClose " + round);
    idleAndPump(instance);
    check(instance.close() == 1, "effClose with the editor open answers 1 " + round);
    pumpMessages();
    const bool windowLeft = editor != nullptr && IsWindow(editor);
    check(!windowLeft && countEditorWindows() == 0,
          "no editor window outlives the effect that owned it " + round,
          std::to_string(countEditorWindows()) + " editor windows remain");
    check(!editorClassRegistered(library.module()),
          "the class is unregistered once no editor is open " + round);
    // The host goes on repainting its window; a window left behind would reach the deleted
    // editor here.
    RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    pumpMessages();
    checkEditorStillWorks(library, host, "after effClose with the editor open " + round);
}

} // namespace

void scenarioCloseWithoutOpen(ScenarioContext& context) {
    runRounds(context.library, closeWithoutOpenRound, "of effEditClose without open");
}

void scenarioOpenTwice(ScenarioContext& context) {
    runRounds(context.library, openTwiceRound, "of double opens");
}

void scenarioIdleWithoutWindow(ScenarioContext& context) {
    runRounds(context.library, idleWithoutWindowRound, "of idles without a window");
}

void scenarioCloseEffectWithEditorOpen(ScenarioContext& context) {
    runRounds(context.library, closeEffectWithEditorOpenRound, "of effClose with the editor open");
}

void scenarioEmptyBlocks(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    Instance first = startedInstance(library.newInstance(), "main gives a first instance");
    Instance reference = startedInstance(library.newInstance(), "main gives a second instance");
    if (first.record() == nullptr || reference.record() == nullptr) {
        return;
    }
    AEffect* firstRecord = first.record();

    const float canary = 4242.0f;
    std::vector<float> inLeft(64, canary), inRight(64, canary);
    std::vector<float> outLeft(64, canary), outRight(64, canary);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    for (VstInt32 frames : {0, -1, -64}) {
        firstRecord->processReplacing(firstRecord, inputs, outputs, frames);
        firstRecord->process(firstRecord, inputs, outputs, frames);
    }
    bool untouched = true;
    for (const std::vector<float>* buffer : {&inLeft, &inRight, &outLeft, &outRight}) {
        for (float sample : *buffer) {
            untouched = untouched && sample == canary;
        }
    }
    check(untouched, "blocks of 0, -1 and -64 frames leave every buffer untouched");
    float* noChannels[2] = {nullptr, nullptr};
    firstRecord->processReplacing(firstRecord, noChannels, noChannels, 0);
    firstRecord->process(firstRecord, noChannels, noChannels, 0);
    // A fault in either call stops the process through the crash reporter.
    note("empty_blocks_with_null_channels", "returned");

    // Empty blocks change no state: the next real block equals a fresh instance's.
    std::vector<float> left, right;
    loudBlock(left, right, 256, 0.7f);
    const std::vector<float> after = first.processReplacing(left, right);
    const std::vector<float> fresh = reference.processReplacing(left, right);
    bool finite = true;
    for (float sample : after) {
        finite = finite && std::isfinite(sample) && sample != canary;
    }
    check(finite, "the next block after the empty ones is processed");
    check(after.size() == fresh.size() &&
              std::memcmp(after.data(), fresh.data(), after.size() * sizeof(float)) == 0,
          "empty blocks change no state: the next block equals a fresh instance's");
    check(first.close() == 1 && reference.close() == 1, "effClose answers 1 for both");
}

void scenarioNullBuffers(ScenarioContext& context) {
    PluginLibrary& library = context.library;
    Instance instance = startedInstance(library.newInstance());
    if (instance.record() == nullptr) {
        return;
    }
    struct Case {
        VstInt32 opcode;
        VstInt32 index;
        const char* name;
    };
    const Case cases[] = {
        {effGetProgramName, 0, "effGetProgramName"},
        {effSetProgramName, 0, "effSetProgramName"},
        {effGetParamLabel, 0, "effGetParamLabel"},
        {effGetParamDisplay, 3, "effGetParamDisplay"},
        {effGetParamName, 9, "effGetParamName"},
        {effGetProgramNameIndexed, 0, "effGetProgramNameIndexed"},
        {effGetEffectName, 0, "effGetEffectName"},
        {effGetErrorText, 0, "effGetErrorText"},
        {effGetVendorString, 0, "effGetVendorString"},
        {effGetProductString, 0, "effGetProductString"},
        {effCanDo, 0, "effCanDo"},
        {effGetInputProperties, 0, "effGetInputProperties"},
        {effGetOutputProperties, 1, "effGetOutputProperties"},
        {effGetParameterProperties, 0, "effGetParameterProperties"},
        {effGetMidiProgramName, 0, "effGetMidiProgramName"},
        {effGetMidiKeyName, 0, "effGetMidiKeyName"},
        {effGetChunk, 0, "effGetChunk"},
    };
    // A fault in any of these stops the process through the crash reporter.
    for (const Case& c : cases) {
        const VstIntPtr answer = instance.dispatch(c.opcode, c.index, 0, nullptr);
        note(std::string(c.name) + "_with_null_buffer", "answered " + std::to_string(answer));
    }
    char name[64] = "";
    instance.dispatch(effGetEffectName, 0, 0, name);
    check(std::strcmp(name, "Quorvel Demo") == 0,
          "the instance still answers its name into a real buffer", name);
    char program[24] = "";
    instance.dispatch(effGetProgramName, 0, 0, program);
    check(std::strcmp(program, "Default") == 0, "and its program name", program);
    check(instance.close() == 1, "effClose answers 1");
}

namespace {

void editorCyclesRound(PluginLibrary& library, const Hosts& hosts, const std::string& round) {
    Instance instance = startedInstance(library.newInstance(), "main gives an instance " + round);
    if (instance.record() == nullptr) {
        return;
    }
    std::vector<float> left, right;
    loudBlock(left, right, 256, 0.5f);
    int freeAfterFirst = 0;
    bool windowsGone = true;
    for (int cycle = 0; cycle < 10; ++cycle) {
        instance.dispatch(effEditOpen, 0, 0, hosts.main);
        instance.processReplacing(left, right);
        idleAndPump(instance, 2);
        instance.dispatch(effEditClose);
        pumpMessages(1);
        windowsGone = windowsGone && countEditorWindows() == 0;
        if (cycle == 0) {
            freeAfterFirst = freeGdiHandles();
        }
    }
    const int freeAfterAll = freeGdiHandles();
    check(windowsGone, "every effEditClose of 10 cycles removes the window " + round);
    check(freeAfterAll == freeAfterFirst,
          "10 open-paint-close cycles hold no more GDI objects than the first " + round,
          std::to_string(freeAfterFirst - freeAfterAll) + " more");
    check(instance.close() == 1, "effClose answers 1 " + round);
}

void instanceCyclesRound(PluginLibrary& library, const Hosts&, const std::string& round) {
    std::vector<float> left, right;
    loudBlock(left, right, 256, 0.5f);
    int closed = 0;
    for (int cycle = 0; cycle < 10; ++cycle) {
        AEffect* record = library.newInstance();
        if (record == nullptr) {
            break;
        }
        Instance temporary(record);
        temporary.startUp();
        temporary.processReplacing(left, right);
        closed += temporary.close() == 1;
    }
    check(closed == 10, "10 instances made, used and closed " + round);
}

// Two instances whose editors open and close interleaved, in both orders.
void interleavedEditorsRound(PluginLibrary& library, const Hosts& hosts, const std::string& round) {
    AEffect* a = library.newInstance();
    AEffect* b = library.newInstance();
    if (!check(a != nullptr && b != nullptr, "main gives two instances " + round)) {
        return;
    }
    Instance first(a), second(b);
    bool consistent = true;
    for (int cycle = 0; cycle < 4; ++cycle) {
        first.dispatch(effEditOpen, 0, 0, hosts.main);
        second.dispatch(effEditOpen, 0, 0, hosts.other);
        idleAndPump(first, 1);
        idleAndPump(second, 1);
        consistent = consistent && countEditorWindows() == 2;
        (cycle % 2 ? first : second).dispatch(effEditClose);
        consistent =
            consistent && countEditorWindows() == 1 && editorClassRegistered(library.module());
        (cycle % 2 ? second : first).dispatch(effEditClose);
        consistent =
            consistent && countEditorWindows() == 0 && !editorClassRegistered(library.module());
    }
    check(consistent,
          "interleaved editors: windows and class follow every open and close " + round);
    check(first.close() == 1 && second.close() == 1, "effClose answers 1 for both " + round);
}

} // namespace

void scenarioResourceCycles(ScenarioContext& context) {
    // Does the system count GDI objects? Ten brushes must show as ten more.
    const DWORD reportedBefore = reportedGdiObjects();
    const int freeBefore = freeGdiHandles();
    HBRUSH brushes[10];
    for (HBRUSH& brush : brushes) {
        brush = CreateSolidBrush(RGB(9, 9, 9));
    }
    const DWORD reportedWith = reportedGdiObjects();
    const int freeWith = freeGdiHandles();
    for (HBRUSH brush : brushes) {
        DeleteObject(brush);
    }
    note("gdi_reported_before_and_with_10_brushes",
         std::to_string(reportedBefore) + "," + std::to_string(reportedWith));
    note("gdi_free_before_and_with_10_brushes",
         std::to_string(freeBefore) + "," + std::to_string(freeWith));
    note("GetGuiResources_counts_gdi_objects", reportedWith == reportedBefore + 10 ? "yes" : "no");
    check(freeBefore - freeWith == 10, "the free-handle count sees ten new brushes",
          std::to_string(freeBefore - freeWith));

    PluginLibrary& library = context.library;
    {
        // What one instance holds, and one editor on top of it.
        const Hosts hosts{createHostWindow("host", 40, 40), nullptr};
        editorCyclesRound(library, hosts, "(warm-up)");
        const int free = freeGdiHandles();
        AEffect* effect = library.newInstance();
        if (effect != nullptr) {
            Instance instance(effect);
            instance.startUp();
            note("gdi_objects_of_an_instance", std::to_string(free - freeGdiHandles()));
            instance.dispatch(effEditOpen, 0, 0, hosts.main);
            idleAndPump(instance);
            note("gdi_objects_of_an_instance_with_its_editor_open",
                 std::to_string(free - freeGdiHandles()));
            instance.dispatch(effEditClose);
            instance.close();
        }
        DestroyWindow(hosts.main);
    }
    runRounds(library, editorCyclesRound, "of 10 editor cycles");
    runRounds(library, instanceCyclesRound, "of 10 instances");
    runRounds(library, interleavedEditorsRound, "of interleaved editors");
    checkNoHostCallsAfterEntry("in the cycles");
}
