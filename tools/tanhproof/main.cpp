// Exhaustive check of the block tanh: every one of the 2^32 float bit patterns, at every SIMD
// level this machine runs, must give the same bits as
// static_cast<float>(std::tanh(static_cast<double>(x))). Also measures, over all finite inputs
// below the clamp, how far the kernel's double result lies from the library's (in double ulps):
// the rounding decision is sound as long as that stays below the window half-width.
//
// Usage: quorvel_tanhproof [--threads N] [--first HEX] [--last HEX]
// Exit status 0 only if the whole range was checked without a mismatch.
#include "dsp/FastTanh.h"
#include "dsp/simd/TanhKernel.h"
#include "tests/support/dsp/DspTesting.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using quorvel::SimdLevel;

constexpr std::array<SimdLevel, 3> kAllLevels = {SimdLevel::Scalar, SimdLevel::Sse2,
                                                 SimdLevel::Avx2};
constexpr std::size_t kChunk = 1 << 16;
constexpr int kHistogramBins = 16;

// The kernel's double result, evaluated with plain doubles (the same operations as every level).
struct Sd {
    double v;
    explicit Sd(double d) : v(d) {}
};
Sd operator+(Sd a, Sd b) {
    return Sd(a.v + b.v);
}
Sd operator-(Sd a, Sd b) {
    return Sd(a.v - b.v);
}
Sd operator*(Sd a, Sd b) {
    return Sd(a.v * b.v);
}
Sd operator/(Sd a, Sd b) {
    return Sd(a.v / b.v);
}
std::uint64_t bitsOf(double d) {
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}
Sd pow2FromShifted(Sd kd) {
    const std::uint64_t b = (bitsOf(kd.v) << 52) + quorvel::tanh_kernel::kOneBits;
    double d;
    std::memcpy(&d, &b, sizeof d);
    return Sd(d);
}

std::uint32_t floatBits(float f) {
    std::uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

struct Totals {
    std::uint64_t checked = 0; // inputs compared, per level
    std::array<std::uint64_t, 3> fallbacks{};
    std::array<std::uint64_t, 3> mismatches{};
    std::uint64_t maxUlps = 0;
    std::uint32_t maxUlpsInput = 0;
    std::array<std::uint64_t, kHistogramBins> histogram{}; // last bin: that many ulps or more
};

// Inputs whose library result lies within this many double ulps of a float midpoint: the hardest
// rounding decisions, listed so that tests can pin them.
constexpr std::uint64_t kHardCaseUlps = 64;

struct Mismatch {
    SimdLevel level;
    std::uint32_t input, expected, got;
};

std::mutex gReportMutex;
std::vector<Mismatch> gFirstMismatches;
std::vector<std::uint32_t> gHardCases;

void checkRange(std::uint64_t first, std::uint64_t last, const std::vector<SimdLevel>& levels,
                std::atomic<std::uint64_t>& nextChunk, Totals& totals) {
    std::vector<float> input(kChunk), expected(kChunk), work(kChunk);
    const double clamp = quorvel::tanh_kernel::kClamp;
    for (;;) {
        const std::uint64_t begin = first + nextChunk.fetch_add(kChunk);
        if (begin > last)
            break;
        const std::size_t count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, last - begin + 1));
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t b = static_cast<std::uint32_t>(begin + i);
            std::memcpy(&input[i], &b, sizeof b);
            const double ref = std::tanh(static_cast<double>(input[i]));
            expected[i] = static_cast<float>(ref);

            const std::uint64_t refBits = bitsOf(std::fabs(ref));
            const std::uint64_t low = refBits & quorvel::tanh_kernel::kLow29Mask;
            const std::uint64_t fromMidpoint =
                low > (1u << 28) ? low - (1u << 28) : (1u << 28) - low;
            if (std::fabs(ref) >= 0x1p-126 && fromMidpoint <= kHardCaseUlps) {
                std::lock_guard<std::mutex> lock(gReportMutex);
                gHardCases.push_back(b);
            }

            const double a = std::fabs(static_cast<double>(input[i]));
            if (a <= clamp) { // finite and inside the kernel's range
                const double t = quorvel::tanh_kernel::tanhOfMagnitude(Sd(a)).v;
                const std::uint64_t tb = bitsOf(t), rb = bitsOf(std::fabs(ref));
                const std::uint64_t ulps = tb > rb ? tb - rb : rb - tb;
                ++totals.histogram[std::min<std::uint64_t>(ulps, kHistogramBins - 1)];
                if (ulps > totals.maxUlps) {
                    totals.maxUlps = ulps;
                    totals.maxUlpsInput = b;
                }
            }
        }
        for (std::size_t l = 0; l < levels.size(); ++l) {
            std::copy(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(count),
                      work.begin());
            const int level = static_cast<int>(levels[l]);
            totals.fallbacks[level] += static_cast<std::uint64_t>(
                quorvel::tanhBlock(work.data(), static_cast<int>(count), levels[l]));
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint32_t want = floatBits(expected[i]), got = floatBits(work[i]);
                if (want != got) {
                    ++totals.mismatches[level];
                    std::lock_guard<std::mutex> lock(gReportMutex);
                    if (gFirstMismatches.size() < 20)
                        gFirstMismatches.push_back({levels[l], floatBits(input[i]), want, got});
                }
            }
        }
        totals.checked += count;
    }
}

bool parseHex(const char* s, std::uint64_t& out) {
    char* end = nullptr;
    const unsigned long long v = std::strtoull(s, &end, 16);
    if (end == s || *end != '\0' || v > 0xffffffffULL)
        return false;
    out = v;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    unsigned threads = 2;
    std::uint64_t first = 0, last = 0xffffffffULL;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--threads" && hasValue) {
            threads = static_cast<unsigned>(std::max(1, std::atoi(argv[++i])));
        } else if (arg == "--first" && hasValue && parseHex(argv[i + 1], first)) {
            ++i;
        } else if (arg == "--last" && hasValue && parseHex(argv[i + 1], last)) {
            ++i;
        } else {
            std::fprintf(stderr, "usage: %s [--threads N] [--first HEX] [--last HEX]\n", argv[0]);
            return 2;
        }
    }
    if (first > last) {
        std::fprintf(stderr, "empty range\n");
        return 2;
    }

    std::vector<SimdLevel> levels;
    for (SimdLevel level : kAllLevels) {
        if (quorvel::isSimdLevelSupported(level))
            levels.push_back(level);
    }
    std::printf("best level here: %s; checking:",
                quorvel::simdLevelName(quorvel::detectSimdLevel()));
    for (SimdLevel level : levels)
        std::printf(" %s", quorvel::simdLevelName(level));
    std::printf("\nrange 0x%08" PRIx64 "..0x%08" PRIx64 " (%" PRIu64 " inputs), %u threads\n",
                first, last, last - first + 1, threads);
    std::fflush(stdout);

    const auto start = std::chrono::steady_clock::now();
    std::atomic<std::uint64_t> nextChunk{0};
    std::vector<Totals> perThread(threads);
    std::vector<std::thread> pool;
    for (unsigned t = 0; t < threads; ++t)
        pool.emplace_back(checkRange, first, last, std::cref(levels), std::ref(nextChunk),
                          std::ref(perThread[t]));
    for (auto& th : pool)
        th.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    Totals sum;
    for (const Totals& t : perThread) {
        sum.checked += t.checked;
        for (int l = 0; l < 3; ++l) {
            sum.fallbacks[l] += t.fallbacks[l];
            sum.mismatches[l] += t.mismatches[l];
        }
        for (int b = 0; b < kHistogramBins; ++b)
            sum.histogram[b] += t.histogram[b];
        if (t.maxUlps > sum.maxUlps) {
            sum.maxUlps = t.maxUlps;
            sum.maxUlpsInput = t.maxUlpsInput;
        }
    }

    std::uint64_t totalMismatches = 0;
    std::printf("checked %" PRIu64 " inputs per level in %.1f s\n", sum.checked, seconds);
    for (SimdLevel level : levels) {
        const int l = static_cast<int>(level);
        totalMismatches += sum.mismatches[l];
        std::printf("  %-6s fallbacks %" PRIu64 "  mismatches %" PRIu64 "\n",
                    quorvel::simdLevelName(level), sum.fallbacks[l], sum.mismatches[l]);
    }
    std::printf("kernel vs library double result, |x| <= %.1f: max %" PRIu64
                " ulp (at input 0x%08x); window half-width %" PRIu64 " ulp\n",
                static_cast<double>(quorvel::tanh_kernel::kClamp), sum.maxUlps, sum.maxUlpsInput,
                static_cast<std::uint64_t>(quorvel::tanh_kernel::kWindowHalfWidth));
    std::printf("  ulp histogram:");
    for (int b = 0; b < kHistogramBins; ++b) {
        if (sum.histogram[b] != 0)
            std::printf(" %d%s:%" PRIu64, b, b == kHistogramBins - 1 ? "+" : "", sum.histogram[b]);
    }
    std::printf("\n");
    std::sort(gHardCases.begin(), gHardCases.end());
    std::printf("inputs whose library result is within %" PRIu64 " ulp of a float midpoint: %zu\n",
                kHardCaseUlps, gHardCases.size());
    for (std::size_t i = 0; i < gHardCases.size(); ++i)
        std::printf("%s0x%08x%s", i % 8 == 0 ? "  " : " ", gHardCases[i],
                    i % 8 == 7 || i + 1 == gHardCases.size() ? "\n" : "");
    for (const Mismatch& m : gFirstMismatches) {
        std::printf("  MISMATCH %s x=0x%08x expected 0x%08x got 0x%08x\n",
                    quorvel::simdLevelName(m.level), m.input, m.expected, m.got);
    }
    const bool complete = sum.checked == last - first + 1;
    const bool ok =
        complete && totalMismatches == 0 && sum.maxUlps < quorvel::tanh_kernel::kWindowHalfWidth;
    std::printf("%s\n", ok ? "RESULT: all identical" : "RESULT: FAILED");
    return ok ? 0 : 1;
}
