// What one scan of the Linux shared object costs a host: load the module, make an instance
// (effOpen), close it (effClose) and unload the module, as hosts do for every plug-in they
// scan. The module is the one of this build tree (QUORVEL_MODULE_PATH).
#include <benchmark/benchmark.h>

#include <string>

#include "tests/support/PluginModule.h"
#include "tests/support/TestHost.h"

namespace {

void LoadCycle(benchmark::State& state) {
    for (auto _ : state) {
        PluginModule module;
        std::string error;
        AEffect* effect = module.load(QUORVEL_MODULE_PATH, &test_host::versionOnlyCallback, error);
        if (effect == nullptr) {
            state.SkipWithError(error.c_str());
            return;
        }
        effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
}
BENCHMARK(LoadCycle)->Unit(benchmark::kMicrosecond);

} // namespace
