// Signals the tests, fuzzers and benchmarks generate: the same bits on every platform and
// compiler, so runs can be compared.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace test_signals {

// xorshift32: long blocks of noise from a small seed (never 0).
struct Xorshift32 {
    std::uint32_t state;

    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    // -1 to 1 in steps of 2^-23, from the top 24 bits.
    float uniform() { return static_cast<float>(next() >> 8) * (2.0f / 16777216.0f) - 1.0f; }
};

// Noise around 0.1 with loud bursts (up to 16 x) that fade over a few hundred frames, over
// both channels (of equal length): the benchmarks' normal signal.
inline void burstNoise(std::vector<float>& left, std::vector<float>& right) {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::uniform_real_distribution<float> chance(0.0f, 1.0f);
    float burst = 0.0f;
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (chance(rng) < 0.002f) {
            burst = 1.0f + 15.0f * chance(rng);
        }
        burst *= 0.995f;
        left[i] = (0.1f + burst) * noise(rng);
        right[i] = (0.1f + burst) * noise(rng);
    }
}

} // namespace test_signals
