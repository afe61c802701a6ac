// The audio path per stereo frame, all in one run:
//   Product   the core's block routine, as both processing entries call it (a host's call
//             through the AEffect record adds one indirect call and a load of the rate);
//   Reference the plain reference of the rules (tests/audio), through its block routine;
//   Floor     the gain smoother alone over precomputed targets: the serial chain every
//             implementation has to wait on (each gain starts from the previous one rounded
//             to single precision);
//   Copy      restoring the input block and copying it to the outputs: the memory floor.
// Every benchmark restores its input block from a long signal before processing it (the work
// is in place), so all include the same restore. Block sizes 32 to 4096, soft clipper on and
// off, a normal signal (noise with loud bursts) and a denormal-heavy one (Depth 100 % with loud
// input, so the gain decays through the subnormal floats, then input decaying into them).
// Read ns_per_frame; the summary after the run gives product / reference and product / floor
// from the medians (run with --benchmark_repetitions=5).
//
// Product/.../32/setup_miss changes the sample rate before every block, so the engine cannot
// reuse the previous block's coefficients: the difference to Product/.../32 is the per-block
// setup the cache saves.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/CompressorCore.h"
#include "dsp/DynamicsEngine.h"
#include "dsp/FastTanh.h"
#include "dsp/simd/EngineLevels.h"
#include "tests/audio/Reference.h"
#include "tests/support/TestSignals.h"
#include "tests/support/dsp/DspTesting.h"

namespace {

constexpr int kSignalFrames = 1 << 15;

enum class Signal { Normal, Denormal };

const char* signalName(Signal s) {
    return s == Signal::Normal ? "normal" : "denormal";
}

struct StereoSignal {
    std::vector<float> left;
    std::vector<float> right;
};

// Noise around 0.1 with loud bursts (up to 16 x) that fade over a few hundred frames.
StereoSignal normalSignal() {
    StereoSignal s{std::vector<float>(kSignalFrames), std::vector<float>(kSignalFrames)};
    test_signals::burstNoise(s.left, s.right);
    return s;
}

// A quarter of loud noise (with Depth at 100 % the target gain is 0 and the gain decays into
// the subnormal floats), then noise fading from 2.0 to 1e-40 over 6000 frames and on to 1e-44:
// most of the rest is subnormal input.
StereoSignal denormalSignal() {
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    StereoSignal s{std::vector<float>(kSignalFrames), std::vector<float>(kSignalFrames)};
    const int loud = kSignalFrames / 4;
    const double fast = std::log(2.0 / 1e-40) / 6000.0;
    const double slow = std::log(1e-40 / 1e-44) / (kSignalFrames - loud - 6000);
    for (int i = 0; i < kSignalFrames; ++i) {
        double amplitude = 2.0;
        if (i >= loud) {
            const int n = i - loud;
            amplitude = n < 6000 ? 2.0 * std::exp(-fast * n) : 1e-40 * std::exp(-slow * (n - 6000));
        }
        s.left[i] = static_cast<float>(amplitude * noise(rng));
        s.right[i] = static_cast<float>(amplitude * noise(rng));
    }
    return s;
}

const StereoSignal& signalFor(Signal s) {
    static const StereoSignal normal = normalSignal();
    static const StereoSignal denormal = denormalSignal();
    return s == Signal::Normal ? normal : denormal;
}

// The parameters of a case: defaults, the soft clipper as asked; for the denormal signal Depth
// at 100 % and a short attack, so the gain falls through the subnormal range quickly.
void caseParameters(Signal signal, bool clip, float (&p)[kParameterCount]) {
    const reference::EffectState defaults;
    std::memcpy(p, defaults.parameters, sizeof p);
    p[Softclip] = clip ? 1.0f : 0.0f;
    if (signal == Signal::Denormal) {
        p[Depth] = 1.0f;
        p[Attack] = 0.1f;
    }
}

// Host buffers and the read position in the long signal.
struct Block {
    explicit Block(int n, Signal s)
        : frames(n), source(signalFor(s)), inLeft(n), inRight(n), outLeft(n), outRight(n) {}

    void restore() {
        if (position + frames > kSignalFrames) {
            position = 0;
        }
        std::memcpy(inLeft.data(), source.left.data() + position, frames * sizeof(float));
        std::memcpy(inRight.data(), source.right.data() + position, frames * sizeof(float));
        position += frames;
    }

    int frames;
    const StereoSignal& source;
    int position = 0;
    std::vector<float> inLeft, inRight, outLeft, outRight;
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
};

void setPerFrame(benchmark::State& state, int frames) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns_per_frame"] = benchmark::Counter(
        static_cast<double>(frames),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void product(benchmark::State& state, Signal signal, bool clip, int frames, bool setupMiss,
             quorvel::SimdLevel level) {
    if (!quorvel::isSimdLevelSupported(level)) {
        state.SkipWithError("level not supported on this machine");
        return;
    }
    CompressorCore core;
    float p[kParameterCount];
    caseParameters(signal, clip, p);
    for (int i = 0; i < kParameterCount; ++i) {
        core.setParameterValue(i, p[i]);
    }
    core.engine.setSimdLevel(level);

    Block block(frames, signal);
    int flip = 0;
    float rate = 44100.0f;
    for (auto _ : state) {
        block.restore();
        if (setupMiss) {
            flip ^= 1;
            rate = flip != 0 ? 48000.0f : 44100.0f;
        }
        core.processBlock(block.inputs, block.outputs, frames, rate, true);
        benchmark::ClobberMemory();
    }
    setPerFrame(state, frames);
}

void referencePath(benchmark::State& state, Signal signal, bool clip, int frames) {
    reference::EffectState effect;
    caseParameters(signal, clip, effect.parameters);
    Block block(frames, signal);
    for (auto _ : state) {
        block.restore();
        reference::processBlock(effect, block.inputs, block.outputs, frames, true);
        benchmark::ClobberMemory();
    }
    setPerFrame(state, frames);
}

// The smoother alone, on targets computed beforehand from the same signal and parameters.
void floorPath(benchmark::State& state, Signal signal, int frames) {
    float p[kParameterCount];
    caseParameters(signal, true, p);
    const ParamBytes b = reference::snapshot(p);
    const quorvel::engine_levels::Coefficients k = engineCoefficients(b, 44100.0f);

    const StereoSignal& s = signalFor(signal);
    std::vector<double> t(kSignalFrames), ta(kSignalFrames), tr(kSignalFrames);
    for (int i = 0; i < kSignalFrames; ++i) {
        double x = std::fabs(s.left[i]);
        if (std::fabs(s.right[i]) > x) {
            x = std::fabs(s.right[i]);
        }
        t[i] = x > k.threshold ? (k.depthFactor * (k.threshold + (x - k.threshold) * k.slope)) / x
                               : 1.0;
        ta[i] = k.attackComplement * t[i];
        tr[i] = k.releaseComplement * t[i];
    }
    std::vector<float> gains(frames);
    float gain = 0.0f;
    int position = 0;
    const quorvel::SimdLevel level = quorvel::detectSimdLevel();
    for (auto _ : state) {
        if (position + frames > kSignalFrames) {
            position = 0;
        }
        const double* tp = t.data() + position;
        const double* ap = ta.data() + position;
        const double* rp = tr.data() + position;
        switch (level) {
#if defined(__i386__) || defined(__x86_64__)
        case quorvel::SimdLevel::Avx2:
            gain =
                quorvel::engine_levels::smoothOnlyAvx2(tp, ap, rp, frames, k, gain, gains.data());
            break;
        case quorvel::SimdLevel::Sse2:
            gain =
                quorvel::engine_levels::smoothOnlySse2(tp, ap, rp, frames, k, gain, gains.data());
            break;
#endif
        default:
            gain =
                quorvel::engine_levels::smoothOnlyScalar(tp, ap, rp, frames, k, gain, gains.data());
            break;
        }
        position += frames;
        benchmark::ClobberMemory();
    }
    setPerFrame(state, frames);
}

void copyPath(benchmark::State& state, Signal signal, int frames) {
    Block block(frames, signal);
    for (auto _ : state) {
        block.restore();
        std::memcpy(block.outLeft.data(), block.inLeft.data(), frames * sizeof(float));
        std::memcpy(block.outRight.data(), block.inRight.data(), frames * sizeof(float));
        benchmark::ClobberMemory();
    }
    setPerFrame(state, frames);
}

const int kBlockSizes[] = {32, 64, 256, 512, 4096};

std::string caseName(const char* what, Signal signal, const char* clip, int frames) {
    return std::string(what) + "/" + signalName(signal) + "/" + clip + "/" + std::to_string(frames);
}

void registerAll() {
    const quorvel::SimdLevel best = quorvel::detectSimdLevel();
    for (Signal signal : {Signal::Normal, Signal::Denormal}) {
        for (int frames : kBlockSizes) {
            for (bool clip : {true, false}) {
                const char* c = clip ? "clip_on" : "clip_off";
                benchmark::RegisterBenchmark(
                    caseName("Product", signal, c, frames).c_str(),
                    [=](benchmark::State& st) { product(st, signal, clip, frames, false, best); });
                benchmark::RegisterBenchmark(
                    caseName("Reference", signal, c, frames).c_str(),
                    [=](benchmark::State& st) { referencePath(st, signal, clip, frames); });
            }
            benchmark::RegisterBenchmark(
                caseName("Floor", signal, "smoother", frames).c_str(),
                [=](benchmark::State& st) { floorPath(st, signal, frames); });
            benchmark::RegisterBenchmark(
                caseName("Copy", signal, "memory", frames).c_str(),
                [=](benchmark::State& st) { copyPath(st, signal, frames); });
        }
    }
    // The coefficients recomputed every block, and the other instruction-set levels.
    benchmark::RegisterBenchmark("Product/normal/clip_on/32/setup_miss", [=](benchmark::State& st) {
        product(st, Signal::Normal, true, 32, true, best);
    });
    for (quorvel::SimdLevel level : {quorvel::SimdLevel::Sse2, quorvel::SimdLevel::Scalar}) {
        const std::string name =
            std::string("Product/normal/clip_on/512/") + quorvel::simdLevelName(level);
        benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& st) {
            product(st, Signal::Normal, true, 512, false, level);
        });
    }
}

// Collects ns_per_frame of every benchmark (the median when repeated) for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) {
                continue;
            }
            const auto found = run.counters.find("ns_per_frame");
            if (found == run.counters.end()) {
                continue;
            }
            const double ns = found->second.value * 1e9;
            const std::string name = run.run_name.str();
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") {
                    medians[name] = ns;
                }
            } else if (medians.find(name) == medians.end() || single.count(name) != 0) {
                // Without repetitions the single run stands in for the median.
                medians[name] = ns;
                single[name] = true;
            }
        }
    }

    void printSummary() const {
        std::printf("\nns per stereo frame (medians); ratios product / reference and product / "
                    "smoother floor\n");
        std::printf("%-9s %-8s %6s %9s %9s %8s %7s %9s %9s\n", "signal", "clip", "block", "product",
                    "reference", "floor", "copy", "prod/ref", "prod/floor");
        for (Signal signal : {Signal::Normal, Signal::Denormal}) {
            for (const char* clip : {"clip_on", "clip_off"}) {
                for (int frames : kBlockSizes) {
                    const double p = get(caseName("Product", signal, clip, frames));
                    const double r = get(caseName("Reference", signal, clip, frames));
                    const double f = get(caseName("Floor", signal, "smoother", frames));
                    const double c = get(caseName("Copy", signal, "memory", frames));
                    std::printf("%-9s %-8s %6d %9.2f %9.2f %8.2f %7.2f %9.3f %9.2f\n",
                                signalName(signal), clip, frames, p, r, f, c, p / r, p / f);
                }
            }
        }
        const double hit = get("Product/normal/clip_on/32");
        const double miss = get("Product/normal/clip_on/32/setup_miss");
        std::printf("\nper-block setup at 32 frames: %.2f ns/frame with the cache, %.2f without "
                    "(%.1f ns per block)\n",
                    hit, miss, (miss - hit) * 32.0);
        for (const char* level : {"SSE2", "Scalar"}) {
            std::printf("product at 512, clip on, %s: %.2f ns/frame\n", level,
                        get(std::string("Product/normal/clip_on/512/") + level));
        }
    }

private:
    double get(const std::string& name) const {
        const auto found = medians.find(name);
        return found == medians.end() ? NAN : found->second;
    }

    std::map<std::string, double> medians;
    std::map<std::string, bool> single;
};

} // namespace

int main(int argc, char** argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
