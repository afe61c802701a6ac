// The shared audio sequence through the DLL; the result file is compared with the Linux
// build's result by the test that runs this scenario.
#include "tests/wine/AudioScenario.h"
#include "tests/winhost/Scenarios.h"

void scenarioAudio(ScenarioContext& context) {
    AEffect* effect = context.library.newInstance();
    if (!check(effect != nullptr, "main gives an instance")) {
        return;
    }
    Instance instance(effect);
    instance.dispatch(effOpen);
    std::vector<float> result;
    const std::string problem = audio_scenario::run(effect, result);
    check(problem.empty(), "the audio sequence runs with every write inside the frame counts",
          problem);
    check(result.size() == audio_scenario::resultSize(), "the sequence produced every sample");
    check(instance.close() == 1, "effClose answers 1");
    note("samples", std::to_string(result.size()));
    check(!context.outputPath.empty() &&
              audio_scenario::writeFloats(windowsPath(context.outputPath), result),
          "the result is written to " + context.outputPath);
    checkNoHostCallsAfterEntry("while processing");
}
