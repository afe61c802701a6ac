// The scenarios of the Windows test host; each runs as its own process, so that one crash or
// hang stops one test only.
#pragma once

#include <string>

#include "tests/winhost/HostSupport.h"

struct ScenarioContext {
    PluginLibrary& library;
    std::string outputPath; // scenarios that write a file
};

void scenarioIdentity(ScenarioContext& context);
void scenarioAudio(ScenarioContext& context);
// 32-bit only: every call into the DLL with the stack 4, 8 and 12 bytes off 16-byte alignment.
void scenarioAudioMisalignedStack(ScenarioContext& context);

void scenarioEditorDefaults(ScenarioContext& context);
void scenarioEditorInteraction(ScenarioContext& context);
void scenarioEditorLostCapture(ScenarioContext& context);
void scenarioEditorWithAudioThread(ScenarioContext& context);
void scenarioEditorClassSharing(ScenarioContext& context);
void scenarioScreenshot(ScenarioContext& context);

void scenarioCloseWithoutOpen(ScenarioContext& context);
void scenarioOpenTwice(ScenarioContext& context);
void scenarioIdleWithoutWindow(ScenarioContext& context);
void scenarioCloseEffectWithEditorOpen(ScenarioContext& context);
void scenarioEmptyBlocks(ScenarioContext& context);
void scenarioNullBuffers(ScenarioContext& context);
void scenarioResourceCycles(ScenarioContext& context);
