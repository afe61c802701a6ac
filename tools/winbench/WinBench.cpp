// Times the plug-in DLL's processReplacing in 512-frame blocks (default parameters: soft clipper
// on) against the plain reference of the rules compiled into this program, the gain smoother
// alone (the serial floor) and a plain copy, and prints the median ns per stereo frame of each.
//
//   quorvel_winbench [path to QuorvelDemo.dll] [repetitions]
//
// The DLL is looked for next to this program when no path is given.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "dsp/DynamicsEngine.h"
#include "dsp/FastTanh.h"
#include "dsp/simd/EngineLevels.h"
#include "host/Vst2Interface.h"
#include "tests/audio/Reference.h"
#include "tests/support/TestHost.h"
#include "tests/support/TestSignals.h"
#include "tests/support/dsp/DspTesting.h"

namespace {

constexpr int kBlock = 512;
constexpr int kSignalFrames = 1 << 15;
constexpr int kBlocksPerRun = 2000;

using PluginEntry = AEffect*(VST_CALLBACK*)(audioMasterCallback);

// The benchmarks' normal signal (test_signals::burstNoise).
struct Signal {
    std::vector<float> left = std::vector<float>(kSignalFrames);
    std::vector<float> right = std::vector<float>(kSignalFrames);
    Signal() { test_signals::burstNoise(left, right); }
};

struct Buffers {
    std::vector<float> inLeft = std::vector<float>(kBlock);
    std::vector<float> inRight = std::vector<float>(kBlock);
    std::vector<float> outLeft = std::vector<float>(kBlock);
    std::vector<float> outRight = std::vector<float>(kBlock);
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    int position = 0;

    // The work is in place: every block starts from fresh input.
    void restore(const Signal& s) {
        if (position + kBlock > kSignalFrames) {
            position = 0;
        }
        std::memcpy(inLeft.data(), s.left.data() + position, sizeof(float) * kBlock);
        std::memcpy(inRight.data(), s.right.data() + position, sizeof(float) * kBlock);
        position += kBlock;
    }
};

double seconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Median over `repetitions` runs of kBlocksPerRun blocks, in ns per stereo frame.
template <typename Block> double medianNsPerFrame(int repetitions, Block block) {
    for (int i = 0; i < kBlocksPerRun / 4; ++i) {
        block(); // warm up
    }
    std::vector<double> runs;
    for (int r = 0; r < repetitions; ++r) {
        const double start = seconds();
        for (int i = 0; i < kBlocksPerRun; ++i) {
            block();
        }
        runs.push_back((seconds() - start) * 1e9 / (static_cast<double>(kBlocksPerRun) * kBlock));
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

std::string besideThisProgram(const char* name) {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path);
    const std::size_t slash = dir.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : dir.substr(0, slash + 1)) + name;
}

} // namespace

int main(int argc, char** argv) {
    const std::string dll = argc > 1 ? argv[1] : besideThisProgram("QuorvelDemo.dll");
    const int repetitions = argc > 2 ? std::max(1, std::atoi(argv[2])) : 11;

    HMODULE module = LoadLibraryA(dll.c_str());
    if (module == nullptr) {
        std::fprintf(stderr, "cannot load %s\n", dll.c_str());
        return 1;
    }
    auto entry =
        reinterpret_cast<PluginEntry>(reinterpret_cast<void*>(GetProcAddress(module, "main")));
    if (entry == nullptr) {
        entry = reinterpret_cast<PluginEntry>(
            reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    }
    AEffect* effect = entry != nullptr ? entry(&test_host::versionOnlyCallback) : nullptr;
    if (effect == nullptr || effect->magic != kEffectMagic) {
        std::fprintf(stderr, "%s: no effect\n", dll.c_str());
        return 1;
    }
    test_host::startUp(effect, 44100.0f, kBlock);

    const Signal signal;

    // First the bits: a fresh instance of the DLL against a fresh reference over the whole
    // signal in blocks of varying length (the processing being timed must be the right one).
    long long compared = 0;
    long long mismatches = 0;
    {
        AEffect* check = entry(&test_host::versionOnlyCallback);
        test_host::dispatch(check, effOpen);
        test_host::dispatch(check, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        reference::EffectState expected;
        std::vector<float> in[2], out[2], refIn[2], refOut[2];
        for (int position = 0, b = 0; position < kSignalFrames; ++b) {
            const int frames = std::min(kSignalFrames - position, 1 + (b * 37) % 700);
            for (int c = 0; c < 2; ++c) {
                const std::vector<float>& source = c == 0 ? signal.left : signal.right;
                in[c].assign(source.begin() + position, source.begin() + position + frames);
                out[c].assign(static_cast<std::size_t>(frames), 0.0f);
                refIn[c] = in[c];
                refOut[c] = out[c];
            }
            float* inputs[2] = {in[0].data(), in[1].data()};
            float* outputs[2] = {out[0].data(), out[1].data()};
            float* refInputs[2] = {refIn[0].data(), refIn[1].data()};
            float* refOutputs[2] = {refOut[0].data(), refOut[1].data()};
            check->processReplacing(check, inputs, outputs, frames);
            reference::processBlock(expected, refInputs, refOutputs, frames, true);
            for (int c = 0; c < 2; ++c) {
                mismatches += std::memcmp(out[c].data(), refOut[c].data(),
                                          sizeof(float) * static_cast<std::size_t>(frames)) != 0;
            }
            compared += frames;
            position += frames;
        }
        test_host::dispatch(check, effClose);
    }

    Buffers product;
    const double productNs = medianNsPerFrame(repetitions, [&] {
        product.restore(signal);
        effect->processReplacing(effect, product.inputs, product.outputs, kBlock);
    });

    // The same defaults in the reference: soft clipper on.
    reference::EffectState state;
    Buffers plain;
    const double referenceNs = medianNsPerFrame(repetitions, [&] {
        plain.restore(signal);
        reference::processBlock(state, plain.inputs, plain.outputs, kBlock, true);
    });

    // The smoother alone over targets computed beforehand (default parameters at 44100 Hz).
    const ParamBytes b = reference::snapshot(state.parameters);
    const quorvel::engine_levels::Coefficients k = engineCoefficients(b, 44100.0f);
    std::vector<double> t(kSignalFrames), ta(kSignalFrames), tr(kSignalFrames);
    for (int i = 0; i < kSignalFrames; ++i) {
        const double x = std::max(std::fabs(signal.left[i]), std::fabs(signal.right[i]));
        t[i] = x > k.threshold ? (k.depthFactor * (k.threshold + (x - k.threshold) * k.slope)) / x
                               : 1.0;
        ta[i] = k.attackComplement * t[i];
        tr[i] = k.releaseComplement * t[i];
    }
    const quorvel::SimdLevel level = quorvel::detectSimdLevel();
    std::vector<float> gains(kBlock);
    float gain = 0.0f;
    int position = 0;
    const double floorNs = medianNsPerFrame(repetitions, [&] {
        if (position + kBlock > kSignalFrames) {
            position = 0;
        }
        const double* tp = t.data() + position;
        const double* ap = ta.data() + position;
        const double* rp = tr.data() + position;
        if (level == quorvel::SimdLevel::Avx2) {
            gain =
                quorvel::engine_levels::smoothOnlyAvx2(tp, ap, rp, kBlock, k, gain, gains.data());
        } else {
            gain =
                quorvel::engine_levels::smoothOnlySse2(tp, ap, rp, kBlock, k, gain, gains.data());
        }
        position += kBlock;
    });

    Buffers copy;
    const double copyNs = medianNsPerFrame(repetitions, [&] {
        copy.restore(signal);
        std::memcpy(copy.outLeft.data(), copy.inLeft.data(), sizeof(float) * kBlock);
        std::memcpy(copy.outRight.data(), copy.inRight.data(), sizeof(float) * kBlock);
    });

    test_host::dispatch(effect, effClose);
    FreeLibrary(module);

    std::printf("%d-bit, %s, 512-frame blocks, soft clipper on, median of %d runs of %d blocks\n",
                static_cast<int>(sizeof(void*) * 8), quorvel::simdLevelName(level), repetitions,
                kBlocksPerRun);
    std::printf(
        "  bits: %lld stereo frames of DLL output against the reference, %lld blocks differ\n",
        compared, mismatches);
    std::printf("  product (DLL)   %7.2f ns per stereo frame\n", productNs);
    std::printf("  reference       %7.2f ns per stereo frame\n", referenceNs);
    std::printf("  smoother floor  %7.2f ns per stereo frame\n", floorNs);
    std::printf("  copy            %7.2f ns per stereo frame\n", copyNs);
    std::printf("  product / reference %.3f, product / floor %.2f\n", productNs / referenceNs,
                productNs / floorNs);
    return mismatches == 0 ? 0 : 2;
}
