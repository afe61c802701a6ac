// The two host threads at once, for a bounded time: an audio thread processing blocks while
// the user-interface thread drags knobs, clicks lamps, sends effEditIdle, paints and changes
// the sample rate; and many instances made, processed and closed on several threads at once.
// Run under ThreadSanitizer (the tsan preset) these fail on any data race; in every build they
// check that the audio stays finite and both sides made progress.
//
// As on Win32, any thread may create and delete GDI objects (the object model outside Windows
// holds one lock for every call, platform/winapi/WinApiState.h), but a window belongs to the
// thread that made it. So: editors are opened, painted and closed on one thread only, and where
// several threads make and close instances (whose editors create and delete GDI objects) those
// calls take one lock that stands for the system's own. Processing, the dispatcher's other
// opcodes and every value shared with the audio thread run without it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "editor/CompressorEditor.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/PluginIdentity.h"
#include "tests/robustness/RobustnessSupport.h"

namespace {

using namespace robustness;
namespace st = offscreen;
using Clock = std::chrono::steady_clock;

// A block of a tone with bursts above the threshold; the level changes from block to block.
void fillSignal(StereoBlock& block, unsigned blockNumber) {
    const float level = (blockNumber % 8 < 3) ? 0.9f : 0.05f;
    for (VstInt32 k = 0; k < block.frames(); ++k) {
        const float phase =
            static_cast<float>((blockNumber * 256u + static_cast<unsigned>(k)) % 97u) / 97.0f;
        block.left[static_cast<std::size_t>(k)] = level * (2.0f * phase - 1.0f);
        block.right[static_cast<std::size_t>(k)] = -0.5f * level * (2.0f * phase - 1.0f);
    }
}

bool allFinite(const std::vector<float>& samples) {
    for (float sample : samples) {
        if (!std::isfinite(sample)) {
            return false;
        }
    }
    return true;
}

// Where the user's mouse goes: the six knob areas and the three lamps (never the link).
constexpr int kKnobX[] = {40, 100, 160, 390, 450, 510};
constexpr int kKnobY = 90;
constexpr int kLampX[] = {160, 395, 513};
constexpr int kLampY = 140;

TEST(ConcurrencyStress, AudioThreadRunsWhileTheEditorIsDraggedClickedAndPainted) {
    AEffect* record = createInstance();
    ASSERT_NE(record, nullptr);
    CompressorEffect& effect = effectOf(record);
    const HWND host = st::createHostWindow(identity::kEditorWidth, identity::kEditorHeight);
    ASSERT_EQ(dispatch(record, effEditOpen, 0, 0, host), 1);
    const HWND window = static_cast<CompressorEditor*>(effect.editorPointer())->windowHandle();
    ASSERT_NE(window, nullptr);

    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> nonFiniteBlocks{0};

    std::thread audio([&] {
        StereoBlock block(256);
        for (unsigned n = 0; !stop.load(std::memory_order_relaxed); ++n) {
            fillSignal(block, n);
            if (n % 4 == 3) {
                record->process(record, block.inputs(), block.outputs(), block.frames());
                std::fill(block.outLeft.begin(), block.outLeft.end(), 0.0f);
                std::fill(block.outRight.begin(), block.outRight.end(), 0.0f);
            } else {
                record->processReplacing(record, block.inputs(), block.outputs(), block.frames());
                if (!allFinite(block.outLeft) || !allFinite(block.outRight)) {
                    nonFiniteBlocks.fetch_add(1);
                }
            }
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });

    // The user-interface thread: this one.
    long drags = 0;
    long clicks = 0;
    long paints = 0;
    const auto deadline = Clock::now() + stressDuration();
    static const float kRates[] = {44100.0f, 48000.0f, 96000.0f, 22050.0f};
    for (unsigned n = 0; Clock::now() < deadline; ++n) {
        const int knob = static_cast<int>(n % 6);
        st::sendMouse(window, WM_LBUTTONDOWN, kKnobX[knob], kKnobY);
        for (int step = 0; step < 12; ++step) {
            // Up and down past both ends: the value is clamped after every step.
            const int y = kKnobY + ((n & 1) ? -10 * step : 10 * step);
            st::sendMouse(window, WM_MOUSEMOVE, kKnobX[knob], y, MK_LBUTTON);
        }
        st::sendMouse(window, WM_LBUTTONUP, kKnobX[knob], kKnobY);
        ++drags;

        const int lamp = static_cast<int>(n % 3);
        st::sendMouse(window, WM_LBUTTONDOWN, kLampX[lamp], kLampY);
        st::sendMouse(window, WM_LBUTTONUP, kLampX[lamp], kLampY);
        ++clicks;

        dispatch(record, effEditIdle);
        if (st::pumpPaint(window)) {
            ++paints;
        }
        if (n % 16 == 0) {
            dispatch(record, effSetSampleRate, 0, 0, nullptr, kRates[(n / 16) % 4]);
            dispatch(record, effSetBlockSizeAndSampleRate, 0, 256, nullptr, kRates[n % 4]);
        }
        st::clearRecords(); // the offscreen drawing records would otherwise grow all along
    }
    stop.store(true);
    audio.join();

    dispatch(record, effEditClose);
    EXPECT_EQ(dispatch(record, effClose), 1);
    DestroyWindow(host);

    std::printf("[ stress   ] %.1f s: %ld audio blocks, %ld drags, %ld lamp clicks, %ld paints\n",
                std::chrono::duration<double>(stressDuration()).count(), blocks.load(), drags,
                clicks, paints);
    EXPECT_GT(blocks.load(), 0);
    EXPECT_GT(drags, 0);
    EXPECT_GT(paints, 0);
    EXPECT_EQ(nonFiniteBlocks.load(), 0);
    EXPECT_EQ(editorClassUseCount, 0);
}

TEST(ConcurrencyStress, InstancesAreMadeProcessedAndClosedOnSeveralThreadsAtOnce) {
    constexpr int kThreads = 4;
    std::mutex systemLock; // stands for the system's own: see the top of this file
    std::atomic<long> instances{0};
    std::atomic<long> blocks{0};
    std::atomic<long> failures{0};
    const auto deadline = Clock::now() + stressDuration();

    const auto worker = [&](int id) {
        StereoBlock block(128);
        static const float kRates[] = {44100.0f, 48000.0f, 0.0f, 192000.0f};
        for (unsigned n = 0; Clock::now() < deadline; ++n) {
            AEffect* record = nullptr;
            {
                std::lock_guard<std::mutex> lock(systemLock);
                record = createInstance();
            }
            if (record == nullptr) {
                failures.fetch_add(1);
                return;
            }
            instances.fetch_add(1, std::memory_order_relaxed);

            // The opcodes a host sends around processing, from this thread.
            dispatch(record, effOpen);
            dispatch(record, effSetSampleRate, 0, 0, nullptr, kRates[(n + id) % 4]);
            dispatch(record, effSetBlockSize, 0, block.frames());
            dispatch(record, effMainsChanged, 0, 1);
            char name[kEffectNameBufferSize];
            dispatch(record, effGetEffectName, 0, 0, name);
            ERect* rect = nullptr;
            dispatch(record, effEditGetRect, 0, 0, &rect);
            if (rect == nullptr || rect->right != identity::kEditorWidth) {
                failures.fetch_add(1);
            }
            effectOf(record).core.setParameterValue(Depth, static_cast<float>(n % 5) * 0.25f);

            for (unsigned b = 0; b < 8; ++b) {
                fillSignal(block, n + b);
                record->processReplacing(record, block.inputs(), block.outputs(), block.frames());
                if (!allFinite(block.outLeft) || !allFinite(block.outRight)) {
                    failures.fetch_add(1);
                }
                blocks.fetch_add(1, std::memory_order_relaxed);
            }

            dispatch(record, effMainsChanged, 0, 0);
            std::lock_guard<std::mutex> lock(systemLock);
            if (dispatch(record, effClose) != 1) {
                failures.fetch_add(1);
            }
        }
    };

    const st::LiveObjects before = st::liveObjects();
    std::vector<std::thread> threads;
    for (int id = 0; id < kThreads; ++id) {
        threads.emplace_back(worker, id);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    std::printf("[ stress   ] %.1f s on %d threads: %ld instances, %ld blocks\n",
                std::chrono::duration<double>(stressDuration()).count(), kThreads, instances.load(),
                blocks.load());
    EXPECT_EQ(failures.load(), 0);
    EXPECT_GE(instances.load(), kThreads);
    EXPECT_TRUE(st::liveObjects() == before) << "GDI objects left behind by closed instances";
}

} // namespace
