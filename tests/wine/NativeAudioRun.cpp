// The native side of the cross-platform audio comparison: loads the Linux shared object as a
// host does (dlopen, VSTPluginMain), runs the shared audio sequence and writes the result; its
// compare mode checks two result files for identical bits and says where they differ.
//   quorvel_wine_audio run <plugin.so> <result.f32>
//   quorvel_wine_audio compare <expected.f32> <actual.f32>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/PluginModule.h"
#include "tests/support/TestHost.h"
#include "tests/wine/AudioScenario.h"

namespace {

int runSequence(const char* pluginPath, const char* resultPath) {
    PluginModule module;
    std::string error;
    AEffect* effect = module.load(pluginPath, &test_host::versionOnlyCallback, error);
    if (effect == nullptr) {
        std::fprintf(stderr, "FAIL: %s\n", error.c_str());
        return 2;
    }
    audio_scenario::dispatch(effect, effOpen, 0, 0, nullptr, 0.0f);
    std::vector<float> result;
    const std::string problem = audio_scenario::run(effect, result);
    audio_scenario::dispatch(effect, effClose, 0, 0, nullptr, 0.0f);
    if (!problem.empty()) {
        std::fprintf(stderr, "FAIL: %s\n", problem.c_str());
        return 1;
    }
    if (!audio_scenario::writeFloats(resultPath, result)) {
        std::fprintf(stderr, "FAIL: cannot write %s\n", resultPath);
        return 2;
    }
    std::printf("wrote %zu samples to %s\n", result.size(), resultPath);
    return 0;
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

int compareResults(const char* expectedPath, const char* actualPath) {
    std::vector<float> expected, actual;
    if (!audio_scenario::readFloats(expectedPath, expected)) {
        std::fprintf(stderr, "FAIL: cannot read %s\n", expectedPath);
        return 2;
    }
    if (!audio_scenario::readFloats(actualPath, actual)) {
        std::fprintf(stderr, "FAIL: cannot read %s\n", actualPath);
        return 2;
    }
    const std::size_t size = audio_scenario::resultSize();
    if (expected.size() != size || actual.size() != size) {
        std::fprintf(stderr, "FAIL: sizes %zu and %zu samples, the sequence makes %zu\n",
                     expected.size(), actual.size(), size);
        return 1;
    }
    std::size_t differing = 0;
    std::size_t first = size;
    for (std::size_t i = 0; i < size; ++i) {
        if (bitsOf(expected[i]) != bitsOf(actual[i])) {
            if (differing++ == 0) {
                first = i;
            }
        }
    }
    if (differing > 0) {
        std::fprintf(stderr,
                     "FAIL: %zu of %zu samples differ; the first at %s: %.9g (0x%08x) "
                     "against %.9g (0x%08x)\n",
                     differing, size, audio_scenario::describeSample(first).c_str(),
                     static_cast<double>(expected[first]), bitsOf(expected[first]),
                     static_cast<double>(actual[first]), bitsOf(actual[first]));
        return 1;
    }
    std::printf("ok: all %zu samples have identical bits\n", size);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "run") == 0) {
        return runSequence(argv[2], argv[3]);
    }
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0) {
        return compareResults(argv[2], argv[3]);
    }
    std::fprintf(stderr,
                 "usage: %s run <plugin.so> <result.f32>\n"
                 "       %s compare <expected.f32> <actual.f32>\n",
                 argv[0], argv[0]);
    return 2;
}
