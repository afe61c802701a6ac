// A small VST 2 host for Windows that loads the real plug-in DLL and runs one scenario:
//   quorvel_winhost.exe <plugin.dll> <scenario> [output file]
// It prints one line per check and exits 0 when every check passed, 1 when one failed, 2 when
// the DLL could not be loaded or the arguments are wrong, 3 when the process crashed.
#include <cstdio>
#include <cstring>

#include "tests/winhost/Scenarios.h"

namespace {

struct ScenarioEntry {
    const char* name;
    void (*run)(ScenarioContext&);
};

const ScenarioEntry kScenarios[] = {
    {"identity", scenarioIdentity},
    {"audio", scenarioAudio},
    {"audio-misaligned-stack", scenarioAudioMisalignedStack},
    {"editor-defaults", scenarioEditorDefaults},
    {"editor-interaction", scenarioEditorInteraction},
    {"editor-lost-capture", scenarioEditorLostCapture},
    {"editor-with-audio-thread", scenarioEditorWithAudioThread},
    {"editor-class-sharing", scenarioEditorClassSharing},
    {"screenshot", scenarioScreenshot},
    {"close-without-open", scenarioCloseWithoutOpen},
    {"open-twice", scenarioOpenTwice},
    {"idle-without-window", scenarioIdleWithoutWindow},
    {"close-effect-with-editor-open", scenarioCloseEffectWithEditorOpen},
    {"empty-blocks", scenarioEmptyBlocks},
    {"null-buffers", scenarioNullBuffers},
    {"resource-cycles", scenarioResourceCycles},
};

int usage(const char* program) {
    std::printf("usage: %s <plugin.dll> <scenario> [output file]\nscenarios:", program);
    for (const ScenarioEntry& entry : kScenarios) {
        std::printf(" %s", entry.name);
    }
    std::printf("\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    installCrashReporter();
    if (argc < 3) {
        return usage(argv[0]);
    }
    const ScenarioEntry* scenario = nullptr;
    for (const ScenarioEntry& entry : kScenarios) {
        if (std::strcmp(entry.name, argv[2]) == 0) {
            scenario = &entry;
        }
    }
    if (scenario == nullptr) {
        return usage(argv[0]);
    }
    // Keep the system's pointer away from the test windows: real pointer movement must not
    // reach an editor in the middle of a scripted drag.
    SetCursorPos(4000, 4000);

    note("host", sizeof(void*) == 8 ? "64-bit" : "32-bit");
    note("scenario", scenario->name);
    PluginLibrary library;
    if (!library.load(argv[1])) {
        return 2;
    }
    ScenarioContext context{library, argc > 3 ? argv[3] : ""};
    scenario->run(context);
    const int failures = failureCount();
    std::printf("%s: %s\n", scenario->name, failures == 0 ? "all checks passed" : "FAILED");
    std::printf("%d failed\n", failures);
    return failures == 0 ? 0 : 1;
}
