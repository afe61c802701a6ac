// What the fuzz targets share: a reader that turns the fuzzer's bytes into choices, numbers
// and samples (zeros once the bytes run out), the checks that end the run with a trap, and the
// instance lifecycle through the exported entry (with the test hosts' callback) and effClose.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "host/Vst2Interface.h"
#include "plugin/PluginEntry.h"
#include "tests/support/TestHost.h"

namespace fuzzing {

// A failed invariant: says which, then traps, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", #condition, __FILE__,           \
                         __LINE__);                                                                \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (0)

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : data(data), size(size) {}

    bool empty() const { return position >= size; }

    std::uint8_t byte() { return position < size ? data[position++] : 0; }

    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }

    std::uint32_t u32() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            value |= static_cast<std::uint32_t>(byte()) << (8 * i);
        }
        return value;
    }

    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    // 0 to count - 1.
    unsigned pick(unsigned count) { return count == 0 ? 0 : byte() % count; }

    bool flag() { return (byte() & 1) != 0; }

    // Any bit pattern: NaNs with payloads, infinities, denormals, negative zero.
    float rawFloat() {
        const std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // A value from the table, or (one time in four) any bit pattern.
    template <std::size_t N> float oneOf(const float (&table)[N]) {
        const unsigned choice = byte();
        if (choice % 4 == 3) {
            return rawFloat();
        }
        return table[(choice / 4) % N];
    }

private:
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position = 0;
};

// Values that have broken audio code before: every class of float, and the edges of 0..1.
inline constexpr float kInf = std::numeric_limits<float>::infinity();
inline const float kSpecialValues[] = {
    std::numeric_limits<float>::quiet_NaN(),
    -std::numeric_limits<float>::quiet_NaN(),
    kInf,
    -kInf,
    0.0f,
    -0.0f,
    1.0f,
    -1.0f,
    0.5f,
    2.0f,
    1e30f,
    -1e30f,
    std::numeric_limits<float>::max(),
    std::numeric_limits<float>::lowest(),
    std::numeric_limits<float>::min(),        // smallest normal
    std::numeric_limits<float>::denorm_min(), // smallest denormal
    -std::numeric_limits<float>::denorm_min(),
    1e-39f,      // a denormal
    0.99999994f, // just below 1: byte 127
    1.00000012f, // just above 1
    1.9921875f,  // 255 / 128: byte 255
    2.0078125f,  // 257 / 128: byte 257, low 8 bits 1
    -0.0078125f, // -1 / 128
    9.5f,        // beyond tanh's last float below 1
};

using test_host::dispatch;

// A new instance as a host makes one; a null answer is a failure of its own.
inline AEffect* createInstance() {
    AEffect* effect = pluginMain(&test_host::versionOnlyCallback);
    FUZZ_CHECK(effect != nullptr);
    FUZZ_CHECK(effect->magic == kEffectMagic);
    return effect;
}

// effClose answers 1 and the record is gone.
inline void closeInstance(AEffect* effect) {
    FUZZ_CHECK(dispatch(effect, effClose) == 1);
}

} // namespace fuzzing
