// Soft clipper cost: the library tanh loop the engine would otherwise run against tanhBlock at
// each SIMD level. The input is a mix of the levels the clipper sees (mostly within +-3, some
// beyond 9). Every iteration first restores the block (the work is in place); BM_CopyOnly
// measures that restore alone. Read the per_sample counter (time per sample).
#include "dsp/FastTanh.h"
#include "tests/support/dsp/DspTesting.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using quorvel::SimdLevel;

std::vector<float> clipperInput(int n) {
    std::mt19937 rng(12345);
    std::normal_distribution<float> level(0.0f, 1.2f);
    std::uniform_real_distribution<float> loud(-12.0f, 12.0f);
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = (i % 16 == 15) ? loud(rng) : level(rng);
    return v;
}

void setPerSample(benchmark::State& state, int n) {
    state.SetItemsProcessed(state.iterations() * n);
    state.counters["per_sample"] =
        benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

// Each iteration copies the clipper input of state.range(0) samples into the work buffer and
// runs `work` over it in place; the copy is the floor BM_CopyOnly measures alone.
template <class Work> void timeInPlace(benchmark::State& state, Work work) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<float> input = clipperInput(n);
    std::vector<float> buffer(input.size());
    for (auto _ : state) {
        std::memcpy(buffer.data(), input.data(), input.size() * sizeof(float));
        work(buffer.data(), n);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
    }
    setPerSample(state, n);
}

void BM_CopyOnly(benchmark::State& state) {
    timeInPlace(state, [](float*, int) {});
}

void BM_StdTanh(benchmark::State& state) {
    timeInPlace(state, [](float* work, int n) {
        for (int i = 0; i < n; ++i) {
            work[i] = static_cast<float>(std::tanh(static_cast<double>(work[i])));
        }
    });
}

void BM_TanhBlock(benchmark::State& state, SimdLevel level) {
    if (!quorvel::isSimdLevelSupported(level)) {
        state.SkipWithError("level not supported on this machine");
        return;
    }
    timeInPlace(state, [level](float* work, int n) {
        benchmark::DoNotOptimize(quorvel::tanhBlock(work, n, level));
    });
}

} // namespace

BENCHMARK(BM_CopyOnly)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK(BM_StdTanh)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_CAPTURE(BM_TanhBlock, Scalar, SimdLevel::Scalar)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_CAPTURE(BM_TanhBlock, Sse2, SimdLevel::Sse2)->Arg(64)->Arg(512)->Arg(4096);
BENCHMARK_CAPTURE(BM_TanhBlock, Avx2, SimdLevel::Avx2)->Arg(64)->Arg(512)->Arg(4096);
