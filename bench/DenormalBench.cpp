// Does the audio thread slow down on denormal numbers? processReplacing over 4096-frame blocks,
// in pairs of the same length that differ only in whether denormals are involved:
//
//   Input/Normal      noise at -20 dBFS, default parameters
//   Input/Denormal    noise of denormal magnitudes (below 2^-126), default parameters
//   Gain/SmallNormal  a loud square wave with Depth at 98 %: the gain settles small but normal
//   Gain/Denormal     the same with Depth at 100 %: the gain decays into the denormal range and
//                     stays there (the smallest denormal times a coefficient below 1 rounds
//                     back to itself), so every sample is multiplied by a denormal gain
//
// Each also runs inside a DenormalGuard (flush-to-zero and denormals-are-zero for the call),
// the way the block routine would apply it. The instance is run into its steady state before
// timing; every iteration restores the input first (the engine works in place), which costs
// the same in every case. After the runs the ratios of CPU time are printed: denormal / normal
// for each pair, and unguarded / guarded for the same material, which isolates what the
// denormal arithmetic itself costs (the pairs above also differ in how much work the soft
// clipper's tanh takes for tiny and for ordinary values).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "bench/DenormalGuard.h"
#include "core/CompressorCore.h"
#include "tests/support/TestSignals.h"

namespace {

constexpr int kFrames = 4096;

enum class Material { Normal, Denormal, LoudSquare };

std::vector<float> material(Material kind, std::uint32_t seed) {
    std::vector<float> samples(kFrames);
    test_signals::Xorshift32 noise{seed};
    for (float& sample : samples) {
        const std::uint32_t bits = noise.next();
        switch (kind) {
        case Material::Normal:
            sample = (static_cast<float>(bits >> 8) * (2.0f / 16777216.0f) - 1.0f) * 0.1f;
            break;
        case Material::Denormal: {
            // Sign and mantissa random, exponent field 0: every non-zero value is denormal.
            const std::uint32_t denormal = (bits & 0x807FFFFFu) | 1u;
            std::memcpy(&sample, &denormal, sizeof sample);
            break;
        }
        case Material::LoudSquare:
            // Every sample above the threshold, so the target gain never returns to 1.
            sample = (bits & 1u) ? 0.9f : -0.9f;
            break;
        }
    }
    return samples;
}

void processBlock(CompressorCore& core, std::vector<float> (&in)[2], std::vector<float> (&out)[2],
                  const std::vector<float> (&source)[2], bool guard) {
    std::memcpy(in[0].data(), source[0].data(), kFrames * sizeof(float));
    std::memcpy(in[1].data(), source[1].data(), kFrames * sizeof(float));
    float* inputs[2] = {in[0].data(), in[1].data()};
    float* outputs[2] = {out[0].data(), out[1].data()};
    if (guard) {
        quorvel::DenormalGuard flushDenormals;
        core.processBlock(inputs, outputs, kFrames, 44100.0f, true);
    } else {
        core.processBlock(inputs, outputs, kFrames, 44100.0f, true);
    }
}

void BM_Process(benchmark::State& state, Material kind, float depth, bool guard) {
    CompressorCore core;
    core.setParameterValue(Depth, depth);
    const std::vector<float> source[2] = {material(kind, 0x12345u), material(kind, 0x6789Bu)};
    std::vector<float> in[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};
    std::vector<float> out[2] = {std::vector<float>(kFrames), std::vector<float>(kFrames)};

    // Into the steady state. The gain starts at 0: silence first lets it rise to 1 (release),
    // then four seconds of the material itself (44.1 kHz) bring a falling gain down from 1 to
    // where it stays: about 2^-142 for Depth at 100 %, where a x g rounds back to g.
    const std::vector<float> silence[2] = {std::vector<float>(kFrames),
                                           std::vector<float>(kFrames)};
    for (int block = 0; block < 64; ++block) {
        processBlock(core, in, out, silence, guard);
    }
    for (int block = 0; block < 43; ++block) {
        processBlock(core, in, out, source, guard);
    }
    for (auto _ : state) {
        processBlock(core, in, out, source, guard);
        benchmark::DoNotOptimize(out[0].data());
        benchmark::DoNotOptimize(out[1].data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
    state.counters["ns_per_frame"] = benchmark::Counter(
        kFrames, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    // Where the gain ended: 1 when it is a denormal number (the console prints tiny values as 0).
    const float gain = core.engine.smoothedGain.load();
    state.counters["gain_denormal"] =
        (gain != 0.0f && std::fabs(gain) < std::numeric_limits<float>::min()) ? 1.0 : 0.0;
}

BENCHMARK_CAPTURE(BM_Process, Input_Normal, Material::Normal, 0.0f, false);
BENCHMARK_CAPTURE(BM_Process, Input_Denormal, Material::Denormal, 0.0f, false);
BENCHMARK_CAPTURE(BM_Process, Gain_SmallNormal, Material::LoudSquare, 0.98f, false);
BENCHMARK_CAPTURE(BM_Process, Gain_Denormal, Material::LoudSquare, 1.0f, false);
BENCHMARK_CAPTURE(BM_Process, Input_Normal_Guarded, Material::Normal, 0.0f, true);
BENCHMARK_CAPTURE(BM_Process, Input_Denormal_Guarded, Material::Denormal, 0.0f, true);
BENCHMARK_CAPTURE(BM_Process, Gain_SmallNormal_Guarded, Material::LoudSquare, 0.98f, true);
BENCHMARK_CAPTURE(BM_Process, Gain_Denormal_Guarded, Material::LoudSquare, 1.0f, true);

// The console report, then the ratios of each pair.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            // CPU time: the machine may be shared, and this thread does all the work. Single
            // runs by name; with repetitions, their median.
            if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                times[run.benchmark_name()] = run.GetAdjustedCPUTime();
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                times[run.run_name.str()] = run.GetAdjustedCPUTime();
            }
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        const char* pairs[][3] = {
            {"BM_Process/Input_Denormal", "BM_Process/Input_Normal", "denormal input"},
            {"BM_Process/Gain_Denormal", "BM_Process/Gain_SmallNormal", "denormal gain"},
            {"BM_Process/Input_Denormal_Guarded", "BM_Process/Input_Normal_Guarded",
             "denormal input, guarded"},
            {"BM_Process/Gain_Denormal_Guarded", "BM_Process/Gain_SmallNormal_Guarded",
             "denormal gain, guarded"},
            // The same work with and without the guard: what the denormals themselves cost.
            {"BM_Process/Input_Normal", "BM_Process/Input_Normal_Guarded",
             "normal input, unguarded / guarded"},
            {"BM_Process/Input_Denormal", "BM_Process/Input_Denormal_Guarded",
             "denormal input, unguarded / guarded"},
            {"BM_Process/Gain_Denormal", "BM_Process/Gain_Denormal_Guarded",
             "denormal gain, unguarded / guarded"},
        };
        for (const auto& pair : pairs) {
            const auto slow = times.find(pair[0]);
            const auto fast = times.find(pair[1]);
            if (slow != times.end() && fast != times.end() && fast->second > 0.0) {
                std::printf("ratio %-36s %.2f\n", pair[2], slow->second / fast->second);
            }
        }
    }

private:
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
