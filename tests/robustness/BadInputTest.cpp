// What a careless or hostile host can hand the plug-in, one group per kind of bad input, as
// listed in docs/robustness.md: null and exactly sized host buffers, opcodes and indices out of
// range, programs beyond the count, sample rates that are not finite positive numbers, block
// sizes of 0 and below, NaN and infinite samples, mouse coordinates outside the window with
// the capture, and the editor opcodes in odd orders.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "editor/CompressorEditor.h"
#include "platform/ModuleHandle.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/PluginIdentity.h"
#include "tests/robustness/RobustnessSupport.h"

namespace {

using namespace robustness;
namespace st = offscreen;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr unsigned char kGuard = 0xCD;
constexpr std::size_t kGuardBytes = 16;

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        record = createInstance();
        ASSERT_NE(record, nullptr);
    }
    void TearDown() override {
        if (record != nullptr) {
            EXPECT_EQ(dispatch(record, effClose), 1);
        }
    }
    CompressorEffect& effect() { return effectOf(record); }

    AEffect* record = nullptr;
};

// A host buffer of exactly `size` bytes followed by guard bytes that must stay untouched.
struct GuardedBuffer {
    explicit GuardedBuffer(std::size_t size) : size(size), bytes(size + kGuardBytes, kGuard) {}
    char* data() { return reinterpret_cast<char*>(bytes.data()); }
    bool guardIntact() const {
        for (std::size_t i = size; i < bytes.size(); ++i) {
            if (bytes[i] != kGuard) {
                return false;
            }
        }
        return true;
    }
    bool terminatedInside() const { return std::memchr(bytes.data(), 0, size) != nullptr; }
    std::size_t size;
    std::vector<unsigned char> bytes;
};

// ---- Null and exactly sized host buffers.

TEST_F(BadInput, TextOpcodesWriteWithinTheSizeTheInterfaceFixesAndIgnoreNull) {
    struct Case {
        VstInt32 opcode;
        std::size_t size;
        const char* expected;
    };
    const Case cases[] = {
        {effGetProgramName, kProgramNameBufferSize, "Default"},
        {effGetParamLabel, kParamStringBufferSize, ""},
        {effGetParamDisplay, kParamStringBufferSize, ""},
        {effGetParamName, kParamStringBufferSize, "Demo"},
        {effGetEffectName, kEffectNameBufferSize, "Quorvel Demo"},
        {effGetVendorString, kVendorStringBufferSize, "Almacor"},
        {effGetProductString, kProductStringBufferSize, "Quorvel Demo"},
    };
    for (const Case& c : cases) {
        for (VstInt32 index : {0, 9, 10, -1, INT_MAX, INT_MIN}) {
            GuardedBuffer buffer(c.size);
            dispatch(record, c.opcode, index, 0, buffer.data());
            EXPECT_TRUE(buffer.guardIntact()) << "opcode " << c.opcode << " index " << index;
            ASSERT_TRUE(buffer.terminatedInside()) << "opcode " << c.opcode;
            EXPECT_STREQ(buffer.data(), c.expected) << "opcode " << c.opcode;
        }
        // A null pointer is answered as usual, with nothing written.
        dispatch(record, c.opcode, 0, 0, nullptr);
    }
    // Buffers the plug-in must leave alone: program names by index, error text.
    for (VstInt32 opcode : {effGetProgramNameIndexed, effGetErrorText}) {
        GuardedBuffer buffer(kProgramNameBufferSize);
        EXPECT_EQ(dispatch(record, opcode, 0, 0, buffer.data()), 0);
        for (unsigned char byte : buffer.bytes) {
            EXPECT_EQ(byte, kGuard) << "opcode " << opcode;
        }
        EXPECT_EQ(dispatch(record, opcode, 0, 0, nullptr), 0);
    }
}

TEST_F(BadInput, PointerOpcodesAcceptNullPointers) {
    // Opcodes whose pointer a host might leave null: nothing is written through it.
    for (VstInt32 opcode : {effSetProgramName,
                            effEditGetRect,
                            effGetChunk,
                            effSetChunk,
                            effProcessEvents,
                            effString2Parameter,
                            effGetInputProperties,
                            effGetOutputProperties,
                            effOfflineNotify,
                            effOfflinePrepare,
                            effOfflineRun,
                            effProcessVarIo,
                            effSetSpeakerArrangement,
                            effCanDo,
                            effVendorSpecific,
                            effGetParameterProperties,
                            effGetMidiProgramName,
                            effGetCurrentMidiProgram,
                            effGetMidiProgramCategory,
                            effGetMidiKeyName}) {
        dispatch(record, opcode, 0, 0, nullptr);
    }
    EXPECT_EQ(dispatch(record, effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(effect().getSampleRate(), 44100.0f); // nothing else changed
}

// ---- Opcodes and indices out of range.

TEST_F(BadInput, OpcodesOutsideTheTableAnswerZeroAndTouchNothing) {
    for (VstInt32 opcode : {-1, -25, 69, 70, 1000, INT_MAX, INT_MIN, 16, 17, 18, 20, 21}) {
        GuardedBuffer buffer(64);
        for (VstIntPtr value : {VstIntPtr{0}, VstIntPtr{-1}, VstIntPtr{1} << 20}) {
            EXPECT_EQ(dispatch(record, opcode, INT_MAX, value, buffer.data(), kNaN), 0)
                << "opcode " << opcode;
        }
        for (unsigned char byte : buffer.bytes) {
            ASSERT_EQ(byte, kGuard) << "opcode " << opcode;
        }
    }
    EXPECT_EQ(effect().getSampleRate(), 44100.0f);
    EXPECT_EQ(effect().getBlockSize(), 1024);
}

TEST_F(BadInput, ParameterEntriesIgnoreEveryIndexAndValue) {
    for (VstInt32 index : {-1, 10, 1000, INT_MAX, INT_MIN}) {
        record->setParameter(record, index, kNaN);
        EXPECT_EQ(record->getParameter(record, index), 0.0f);
        EXPECT_EQ(dispatch(record, effCanBeAutomated, index), 1);
    }
    record->setParameter(record, Threshold, kInf);
    EXPECT_EQ(effect().core.parameter(Threshold), 0.5f); // the host cannot reach the values
}

// ---- effSetProgram beyond the count.

TEST_F(BadInput, SetProgramBeyondTheCountChangesNothing) {
    const VstIntPtr values[] = {
        1, 2, 100, INT_MAX, -1, INT_MIN, VstIntPtr{1} << 40, -(VstIntPtr{1} << 40)};
    for (VstIntPtr value : values) {
        EXPECT_EQ(dispatch(record, effSetProgram, 0, value), 0);
        EXPECT_EQ(dispatch(record, effGetProgram), 0) << "value " << value;
        GuardedBuffer name(kProgramNameBufferSize);
        dispatch(record, effGetProgramName, 0, 0, name.data());
        EXPECT_STREQ(name.data(), "Default");
        EXPECT_TRUE(name.guardIntact());
    }
}

// ---- Sample rates that are not finite positive numbers.

// Loud bursts, then silence, through processReplacing; returns the output left then right.
std::vector<float> renderBursts(AEffect* record) {
    std::vector<float> rendered;
    StereoBlock block(512);
    for (int n = 0; n < 16; ++n) {
        for (VstInt32 k = 0; k < block.frames(); ++k) {
            const float level = n % 4 == 0 ? 3.0f : (n % 4 == 1 ? 0.3f : 0.0f);
            block.left[static_cast<std::size_t>(k)] = (k % 2 == 0) ? level : -level;
            block.right[static_cast<std::size_t>(k)] = 0.5f * level;
        }
        record->processReplacing(record, block.inputs(), block.outputs(), block.frames());
        rendered.insert(rendered.end(), block.outLeft.begin(), block.outLeft.end());
        rendered.insert(rendered.end(), block.outRight.begin(), block.outRight.end());
    }
    return rendered;
}

TEST_F(BadInput, NonFiniteAndNonPositiveSampleRatesProcessLikeRateZero) {
    dispatch(record, effSetSampleRate, 0, 0, nullptr, 0.0f);
    const std::vector<float> atZero = renderBursts(record);
    for (float sample : atZero) {
        ASSERT_TRUE(sample >= -1.0f && sample <= 1.0f);
    }

    const float rates[] = {
        -0.0f, -44100.0f, kNaN, -kNaN, kInf, -kInf, std::numeric_limits<float>::denorm_min(),
        1e-30f};
    for (float rate : rates) {
        AEffect* other = createInstance();
        ASSERT_NE(other, nullptr);
        dispatch(other, effSetSampleRate, 0, 0, nullptr, rate);
        // The rate is stored as given; the engine takes it as 0 (no smoothing).
        EXPECT_EQ(bitsOf(effectOf(other).getSampleRate()), bitsOf(rate));
        const std::vector<float> rendered = renderBursts(other);
        ASSERT_EQ(rendered.size(), atZero.size());
        for (std::size_t i = 0; i < rendered.size(); ++i) {
            ASSERT_EQ(bitsOf(rendered[i]), bitsOf(atZero[i])) << "rate " << rate << " at " << i;
        }
        EXPECT_TRUE(std::isfinite(effectOf(other).core.engine.smoothedGain.load()));
        EXPECT_EQ(dispatch(other, effClose), 1);
    }
}

TEST_F(BadInput, HugeSampleRatesFreezeTheGainButStayFinite) {
    for (float rate : {1e30f, std::numeric_limits<float>::max()}) {
        dispatch(record, effSetBlockSizeAndSampleRate, 0, 512, nullptr, rate);
        for (float sample : renderBursts(record)) {
            ASSERT_TRUE(sample >= -1.0f && sample <= 1.0f) << "rate " << rate;
        }
        EXPECT_TRUE(std::isfinite(effect().core.engine.smoothedGain.load()));
    }
}

// ---- Block sizes of 0 and below.

TEST_F(BadInput, BlocksOfZeroAndFewerFramesTouchNoSample) {
    // Run some signal first so that the meters and the gain hold non-trivial values.
    renderBursts(record);
    const float gain = effect().core.engine.smoothedGain.load();
    const float inputPeak = effect().core.inputPeak.load();
    const float outputPeak = effect().core.outputPeak.load();

    for (VstInt32 frames : {0, -1, -512, INT_MIN}) {
        // Zero-sized heap blocks: under AddressSanitizer any access is a report.
        std::unique_ptr<float[]> channels[4];
        float* inputs[2];
        float* outputs[2];
        for (int c = 0; c < 4; ++c) {
            channels[c].reset(new float[0]);
        }
        inputs[0] = channels[0].get();
        inputs[1] = channels[1].get();
        outputs[0] = channels[2].get();
        outputs[1] = channels[3].get();
        record->processReplacing(record, inputs, outputs, frames);
        record->process(record, inputs, outputs, frames);

        // Null channel pointers are not followed either.
        float* none[2] = {nullptr, nullptr};
        record->processReplacing(record, none, none, frames);

        EXPECT_EQ(bitsOf(effect().core.engine.smoothedGain.load()), bitsOf(gain));
        EXPECT_EQ(bitsOf(effect().core.inputPeak.load()), bitsOf(inputPeak));
        EXPECT_EQ(bitsOf(effect().core.outputPeak.load()), bitsOf(outputPeak));
    }
    // effSetBlockSize with nonsense is stored and read by nothing.
    dispatch(record, effSetBlockSize, 0, -5);
    EXPECT_EQ(effect().getBlockSize(), -5);
    for (float sample : renderBursts(record)) {
        ASSERT_TRUE(std::isfinite(sample));
    }
}

// ---- NaN and infinite samples.

TEST_F(BadInput, NonFiniteSamplesNeverStickInTheGainOrTheMeters) {
    renderBursts(record); // the gain is away from 0
    const float bad[] = {kNaN, -kNaN, kInf, -kInf};
    for (float value : bad) {
        for (int channel = 0; channel < 2; ++channel) {
            StereoBlock block(64);
            std::fill(block.left.begin(), block.left.end(), 0.5f);
            std::fill(block.right.begin(), block.right.end(), 0.25f);
            (channel == 0 ? block.left : block.right)[10] = value;
            record->processReplacing(record, block.inputs(), block.outputs(), block.frames());

            EXPECT_TRUE(std::isfinite(effect().core.engine.smoothedGain.load())) << value;
            EXPECT_FALSE(std::isnan(effect().core.inputPeak.load())) << value;
            EXPECT_FALSE(std::isnan(effect().core.outputPeak.load())) << value;
            EXPECT_TRUE(std::isfinite(effect().core.inputPeak.load())) << value;
            // Every other frame of the block comes out soft-clipped and finite.
            for (std::size_t k = 0; k < block.left.size(); ++k) {
                if (k == 10) {
                    continue;
                }
                EXPECT_TRUE(block.outLeft[k] >= -1.0f && block.outLeft[k] <= 1.0f);
                EXPECT_TRUE(block.outRight[k] >= -1.0f && block.outRight[k] <= 1.0f);
            }
            // The next ordinary block is ordinary.
            for (float sample : renderBursts(record)) {
                ASSERT_TRUE(sample >= -1.0f && sample <= 1.0f) << "after " << value;
            }
        }
    }
}

TEST_F(BadInput, NonFiniteParameterValuesQuantiseToAByteAndProcessFinite) {
    const float values[] = {kNaN, kInf, -kInf, -1.0f, 2.0f, 1e30f, -1e30f};
    for (int index = 0; index < kParameterCount; ++index) {
        for (float value : values) {
            effect().core.setParameterValue(index, value);
            for (float sample : renderBursts(record)) {
                ASSERT_TRUE(std::isfinite(sample)) << "parameter " << index << " = " << value;
            }
            ASSERT_TRUE(std::isfinite(effect().core.engine.smoothedGain.load()));
        }
        setDefaultParameters(effect().core.parameters);
    }
}

// ---- The editor: mouse outside the window with the capture, opcodes in odd orders.

class BadEditorInput : public BadInput {
protected:
    void SetUp() override {
        st::clearRecords();
        baseline = st::liveObjects();
        BadInput::SetUp();
        host = st::createHostWindow(identity::kEditorWidth, identity::kEditorHeight);
    }
    void TearDown() override {
        BadInput::TearDown();
        record = nullptr;
        DestroyWindow(host);
        EXPECT_EQ(editorClassUseCount, 0);
        EXPECT_FALSE(st::classInfo(identity::kEditorClassName, moduleHandle()).registered);
        EXPECT_TRUE(st::liveObjects() == baseline);
        EXPECT_EQ(st::dcsWithSelections(), 0);
    }
    HWND window() {
        return static_cast<CompressorEditor*>(effect().editorPointer())->windowHandle();
    }

    st::LiveObjects baseline;
    HWND host = nullptr;
};

TEST_F(BadEditorInput, MouseOutsideTheWindowWithTheCaptureKeepsValuesInRange) {
    ASSERT_EQ(dispatch(record, effEditOpen, 0, 0, host), 1);
    // Threshold (0.5) dragged from inside to below the window, above it (negative y arrives
    // as a large unsigned number), far left and right, then back.
    st::sendMouse(window(), WM_LBUTTONDOWN, 450, 100);
    EXPECT_EQ(GetCapture(), window());
    const int path[][2] = {{450, 200},  {450, 171},  {450, -1},  {450, -30000}, {-5, 100},
                           {60000, 90}, {450, 1000}, {450, 170}, {450, 0},      {-1, -1}};
    for (const auto& point : path) {
        st::sendMouse(window(), WM_MOUSEMOVE, point[0], point[1], MK_LBUTTON);
        const float value = effect().core.parameter(Threshold);
        EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << point[0] << ", " << point[1];
    }
    // Only y 0 to 170 is handled: 90 to 170 takes the value below 0 (clamped to 0), 170 to
    // 0 raises it by 1.7 (clamped to 1).
    EXPECT_EQ(effect().core.parameter(Threshold), 1.0f);
    st::sendMouse(window(), WM_LBUTTONUP, -1, -1);
    EXPECT_EQ(GetCapture(), nullptr);
    // Presses outside every control change no value.
    for (const auto& point : path) {
        st::sendMouse(window(), WM_LBUTTONDOWN, point[0], point[1]);
        st::sendMouse(window(), WM_LBUTTONUP, point[0], point[1]);
    }
    EXPECT_EQ(effect().core.parameter(Limiter), 0.0f);
    EXPECT_EQ(effect().core.parameter(Softclip), 1.0f);
    EXPECT_EQ(effect().core.parameter(AutoMakeUp), 0.0f);
    dispatch(record, effEditClose);
    EXPECT_TRUE(st::diagnostics().empty());
}

TEST_F(BadEditorInput, EditorOpcodesInOddOrders) {
    // Before any open: close, idle, keys, knob mode; the rectangle is already there.
    EXPECT_EQ(dispatch(record, effEditClose), 0);
    EXPECT_EQ(dispatch(record, effEditIdle), 0);
    EXPECT_EQ(dispatch(record, effEditKeyDown, 'a', 0, nullptr, 1.0f), -1);
    EXPECT_EQ(dispatch(record, effEditKeyUp, 'a', 0, nullptr, kNaN), -1);
    EXPECT_EQ(dispatch(record, effSetEditKnobMode, 0, 2), 0);
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(record, effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right, identity::kEditorWidth);
    EXPECT_EQ(editorClassUseCount, 0);

    // Open twice: one window, one class use.
    EXPECT_EQ(dispatch(record, effEditOpen, 0, 0, host), 1);
    EXPECT_EQ(dispatch(record, effEditOpen, 0, 0, host), 1);
    EXPECT_EQ(st::windowsOfClass(identity::kEditorClassName).size(), 1u);
    EXPECT_EQ(editorClassUseCount, 1);
    dispatch(record, effEditIdle);
    EXPECT_TRUE(st::pumpPaint(window()));

    // Close twice: the second gives nothing back.
    dispatch(record, effEditClose);
    dispatch(record, effEditClose);
    EXPECT_EQ(editorClassUseCount, 0);
    EXPECT_EQ(dispatch(record, effEditIdle), 0);

    // A null parent: no window, the use is still paired by the close.
    EXPECT_EQ(dispatch(record, effEditOpen, 0, 0, nullptr), 1);
    EXPECT_EQ(window(), nullptr);
    dispatch(record, effEditIdle);
    dispatch(record, effEditClose);
    EXPECT_EQ(editorClassUseCount, 0);

    // The instance closed with its window open: TearDown checks that nothing is left.
    EXPECT_EQ(dispatch(record, effEditOpen, 0, 0, host), 1);
    dispatch(record, effEditIdle);
    st::pumpPaint(window());
}

TEST_F(BadEditorInput, HostDestroysItsWindowBeforeClosingTheEditor) {
    ASSERT_EQ(dispatch(record, effEditOpen, 0, 0, host), 1);
    const HWND editorWindow = window();
    st::sendMouse(editorWindow, WM_LBUTTONDOWN, 450, 90); // a drag holds the capture
    DestroyWindow(host);                                  // takes the editor's window with it
    EXPECT_FALSE(st::windowInfo(editorWindow).exists);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(window(), nullptr) << "the editor still holds the destroyed window's handle";

    // Idle and close afterwards reach no destroyed window, and the class use is given back.
    dispatch(record, effEditIdle);
    dispatch(record, effEditClose);
    EXPECT_EQ(editorClassUseCount, 0);
    EXPECT_TRUE(st::diagnostics().empty()) << st::diagnostics().front();

    // A new host window, a new editor.
    host = st::createHostWindow(identity::kEditorWidth, identity::kEditorHeight);
    ASSERT_EQ(dispatch(record, effEditOpen, 0, 0, host), 1);
    dispatch(record, effEditIdle);
    EXPECT_TRUE(st::pumpPaint(window()));
    dispatch(record, effEditClose);
}

} // namespace
