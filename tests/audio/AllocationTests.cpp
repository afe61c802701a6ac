// The audio path allocates nothing: global operator new is replaced in this executable and
// counts every allocation made while the audio path runs, in the core and in the shipped
// module loaded as a host loads it (its calls of operator new land here too).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "tests/audio/AudioTestSupport.h"
#include "tests/support/PluginModule.h"
#include "tests/support/TestHost.h"

namespace {
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size) {
    if (counting.load()) {
        allocations.fetch_add(1);
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size) {
    return allocate(size);
}
void* operator new[](std::size_t size) {
    return allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return allocate(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace {

// Counts the allocations made while `body` runs.
template <typename Body> long allocationsDuring(Body body) {
    allocations.store(0);
    counting.store(true);
    body();
    counting.store(false);
    return allocations.load();
}

} // namespace

TEST(AudioPathAllocation, TheCounterSeesAnAllocation) {
    const long seen = allocationsDuring([] { ::operator delete(::operator new(16)); });
    EXPECT_EQ(1, seen);
}

TEST(AudioPathAllocation, ProcessingBlocksAllocatesNothing) {
    auto effect = audiotest::makeEffect();
    PluginModule module;
    std::string error;
    AEffect* record = module.load(QUORVEL_PLUGIN_MODULE, &test_host::versionOnlyCallback, error);
    ASSERT_NE(record, nullptr) << error;
    record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f);
    std::vector<float> left(4096), right(4096), outLeft(4096), outRight(4096);
    for (std::size_t i = 0; i < left.size(); ++i) {
        left[i] = static_cast<float>(i % 97) * 0.02f - 0.9f;
        right[i] = static_cast<float>(i % 13) * -0.1f;
    }
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};

    const long seen = allocationsDuring([&] {
        for (int block = 0; block < 2000; ++block) {
            const std::int32_t frames = (block * 37) % 4097;
            if (block % 3 == 0) {
                effect->setParameterValue(block % kParameterCount, (block % 7) / 6.0f);
            }
            if (block % 5 == 0) {
                effect->process(inputs, outputs, frames);
            } else {
                effect->processReplacing(inputs, outputs, frames);
            }
            // Through the module's record, as a host calls it.
            record->processReplacing(record, inputs, outputs, frames % 64);
        }
    });
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(0, seen);
}
