// The dispatcher under arbitrary opcode sequences: any opcode, index, value and option, with
// the pointer argument either null or pointing at exactly what the interface gives for that
// opcode (string buffers of their fixed sizes, an ERect**, the host's window for effEditOpen),
// the editor opcodes in any order against the offscreen window system, up to two instances at once,
// effClose and a new instance in the middle, and now and then an audio block.
//
// Every buffer is a heap block of its exact size, so AddressSanitizer catches a write past its
// end; text the plug-in writes must end inside the buffer; opcodes nothing handles answer 0
// and leave their buffer untouched. After each input every instance is closed and the
// process must be as before: no editor window, the window class unregistered, the use count
// 0, no window or GDI object left alive.
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/CompressorEditor.h"
#include "fuzz/EditorFuzzRun.h"
#include "fuzz/FuzzSupport.h"
#include "platform/ModuleHandle.h"
#include "platform/offscreen/Offscreen.h"
#include "plugin/PluginIdentity.h"

using namespace fuzzing;
namespace st = offscreen;

namespace {

constexpr VstInt32 kLastOpcode = effEndSetProgram; // 68

// The host's buffer for an opcode that passes text or a record through the pointer: its size
// in bytes, and whether the host fills it with a string (input) rather than the plug-in.
struct PointerShape {
    std::size_t size;
    bool hostString;
};

PointerShape shapeOf(VstInt32 opcode) {
    switch (opcode) {
    case effSetProgramName:
        return {kProgramNameBufferSize, true};
    case effGetProgramName:
    case effGetProgramNameIndexed:
        return {kProgramNameBufferSize, false};
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
        return {kParamStringBufferSize, false};
    case effGetEffectName:
        return {kEffectNameBufferSize, false};
    case effGetVendorString:
    case effGetProductString:
        return {kVendorStringBufferSize, false};
    case effGetErrorText:
        return {256, false};
    case effString2Parameter:
    case effCanDo:
        return {32, true};
    default:
        // Records the plug-in neither reads nor fills (events, pin and parameter properties,
        // speaker arrangements, offline tasks, MIDI names): a block larger than any of them.
        return {256, false};
    }
}

bool writesText(VstInt32 opcode) {
    switch (opcode) {
    case effGetProgramName:
    case effGetProgramNameIndexed:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetEffectName:
    case effGetVendorString:
    case effGetProductString:
    case effGetErrorText:
        return true;
    default:
        return false;
    }
}

// Opcodes that nothing handles, in range or not: answer 0, touch nothing.
bool isInert(VstInt32 opcode) {
    return opcode < 0 || opcode > kLastOpcode || opcode == effEditDraw || opcode == effEditMouse ||
           opcode == effEditKey || opcode == effEditTop || opcode == effEditSleep;
}

// Opcodes worth hitting often; the rest of the int32 range comes from raw values.
VstInt32 chooseOpcode(Input& in) {
    const unsigned mode = in.pick(8);
    if (mode == 0) {
        return in.i32();
    }
    if (mode == 1) {
        // The editor opcodes, which carry state across calls.
        static const VstInt32 editorOpcodes[] = {effEditGetRect,    effEditOpen,    effEditClose,
                                                 effEditIdle,       effEditKeyDown, effEditKeyUp,
                                                 effSetEditKnobMode};
        return editorOpcodes[in.pick(sizeof editorOpcodes / sizeof editorOpcodes[0])];
    }
    // -2 to 70: both edges of the table.
    return static_cast<VstInt32>(in.pick(73)) - 2;
}

VstIntPtr chooseValue(Input& in) {
    switch (in.pick(4)) {
    case 0:
        return static_cast<VstIntPtr>(in.byte()) - 2;
    case 1: {
        const std::uint64_t wide = (static_cast<std::uint64_t>(in.u32()) << 32) | in.u32();
        return static_cast<VstIntPtr>(wide);
    }
    default:
        return in.i32();
    }
}

struct Instance {
    AEffect* effect = nullptr;
};

class Session {
public:
    explicit Session(Input& in) : in(in) {
        host = st::createHostWindow(identity::kEditorWidth + 40, identity::kEditorHeight + 40);
    }

    ~Session() {
        for (Instance& instance : instances) {
            if (instance.effect != nullptr) {
                closeInstance(instance.effect);
                instance.effect = nullptr;
            }
        }
        if (st::windowInfo(host).exists) {
            DestroyWindow(host);
        }
    }

    void run() {
        instances[0].effect = createInstance();
        int steps = 0;
        while (!in.empty() && steps++ < 500) {
            step();
        }
    }

private:
    void step() {
        // The second instance now and then: two editors open at once, one class registration.
        Instance& instance = instances[in.pick(8) == 0 ? 1 : 0];
        if (instance.effect == nullptr) {
            instance.effect = createInstance();
        }
        // Mostly opcodes; now and then an audio block or a paint, and rarely (closing costs a
        // new instance: bitmaps, font) effClose.
        switch (in.pick(48)) {
        case 0:
            // The host closes the instance, possibly with its editor open, and makes a new one.
            closeInstance(instance.effect);
            instance.effect = in.flag() ? createInstance() : nullptr;
            return;
        case 1:
            paintEditors();
            return;
        case 4:
        case 5:
        case 6:
            processBlock(instance.effect);
            return;
        case 7:
            // A host that takes its own window down before it closes the editor.
            if (in.pick(4) == 0) {
                DestroyWindow(host);
                host = st::createHostWindow(identity::kEditorWidth, identity::kEditorHeight);
            }
            return;
        default:
            dispatchOne(instance.effect);
            return;
        }
    }

    void dispatchOne(AEffect* effect) {
        const VstInt32 opcode = chooseOpcode(in);
        const VstInt32 index = in.pick(3) == 0 ? in.i32() : static_cast<VstInt32>(in.pick(12));
        VstIntPtr value = chooseValue(in);
        const float option = in.oneOf(kSpecialValues);
        const bool nullPointer = in.pick(5) == 0;

        if (opcode == effClose) {
            return; // handled as its own step: the record is gone afterwards
        }

        if (opcode == effEditGetRect) {
            auto holder = std::make_unique<ERect*>(nullptr);
            const VstIntPtr answer = dispatch(effect, opcode, index, value,
                                              nullPointer ? nullptr : holder.get(), option);
            FUZZ_CHECK(answer == 0 || answer == 1);
            const ERect* rect = *holder;
            if (answer == 1) {
                FUZZ_CHECK(rect != nullptr);
                FUZZ_CHECK(rect->top == 0 && rect->left == 0);
                FUZZ_CHECK(rect->bottom == identity::kEditorHeight &&
                           rect->right == identity::kEditorWidth);
            }
            return;
        }

        if (opcode == effEditOpen) {
            FUZZ_CHECK(
                dispatch(effect, opcode, index, value, nullPointer ? nullptr : host, option) == 1);
            return;
        }

        if (opcode == effGetChunk) {
            auto holder = std::make_unique<void*>(nullptr);
            dispatch(effect, opcode, index, value, nullPointer ? nullptr : holder.get(), option);
            return;
        }

        if (opcode == effSetChunk) {
            // An honest host gives the chunk's size in value.
            const std::size_t size = in.pick(65);
            std::vector<std::uint8_t> chunk(size, 0x5A);
            dispatch(effect, opcode, index, static_cast<VstIntPtr>(size),
                     nullPointer ? nullptr : chunk.data(), option);
            return;
        }

        if (opcode == effEditKeyDown || opcode == effEditKeyUp || opcode == effSetEditKnobMode ||
            opcode == effSetSampleRate || opcode == effSetBlockSize ||
            opcode == effSetBlockSizeAndSampleRate) {
            dispatch(effect, opcode, index, value, nullptr, option);
            return;
        }

        const PointerShape shape = shapeOf(opcode);
        std::unique_ptr<char[]> buffer(new char[shape.size]);
        for (std::size_t i = 0; i < shape.size; ++i) {
            buffer[i] = static_cast<char>(0xA5);
        }
        if (shape.hostString) {
            for (std::size_t i = 0; i + 1 < shape.size; ++i) {
                buffer[i] = static_cast<char>(in.byte() | 1); // never a terminator
            }
            buffer[in.pick(static_cast<unsigned>(shape.size))] = '\0';
            buffer[shape.size - 1] = '\0';
        }
        std::unique_ptr<char[]> before(new char[shape.size]);
        std::memcpy(before.get(), buffer.get(), shape.size);

        // effSetSpeakerArrangement: the input arrangement travels in value, the output one in
        // the pointer; both are records nothing reads.
        std::unique_ptr<char[]> inputArrangement(new char[shape.size]());
        if (opcode == effSetSpeakerArrangement) {
            value = nullPointer ? 0 : reinterpret_cast<VstIntPtr>(inputArrangement.get());
        }

        const VstIntPtr answer =
            dispatch(effect, opcode, index, value, nullPointer ? nullptr : buffer.get(), option);

        if (isInert(opcode)) {
            FUZZ_CHECK(answer == 0);
            FUZZ_CHECK(std::memcmp(before.get(), buffer.get(), shape.size) == 0);
        }
        if (!nullPointer && writesText(opcode) &&
            std::memcmp(before.get(), buffer.get(), shape.size) != 0) {
            FUZZ_CHECK(std::memchr(buffer.get(), '\0', shape.size) != nullptr);
        }
    }

    // Whatever the opcodes did (sample rates included), a quiet block comes out finite and,
    // with the default parameters (the host cannot change them), soft-clipped.
    void processBlock(AEffect* effect) {
        const int frames = static_cast<int>(in.pick(65));
        std::vector<float> left(frames), right(frames), outLeft(frames), outRight(frames);
        for (int k = 0; k < frames; ++k) {
            left[k] = 0.8f * std::sin(0.05f * static_cast<float>(k));
            right[k] = -left[k];
        }
        float* inputs[2] = {left.data(), right.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, frames);
        for (int k = 0; k < frames; ++k) {
            FUZZ_CHECK(outLeft[k] >= -1.0f && outLeft[k] <= 1.0f);
            FUZZ_CHECK(outRight[k] >= -1.0f && outRight[k] <= 1.0f);
        }
    }

    // At most kPaintsPerInput rounds: repeated bytes could otherwise paint hundreds of times.
    void paintEditors() {
        if (paints++ >= kPaintsPerInput) {
            return;
        }
        for (HWND window : st::windowsOfClass(identity::kEditorClassName)) {
            st::pumpPaint(window);
        }
    }

    static constexpr int kPaintsPerInput = 12;
    int paints = 0;

    Input& in;
    HWND host = nullptr;
    Instance instances[2];
};

// Diagnostics the host's own behaviour in this target explains: an editor opened with a null
// parent, and the calls an editor makes on its window after the host destroyed it.
bool explainedByHost(const std::string& diagnostic) {
    return diagnostic == "CreateWindowExA: a child window needs a parent";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return runEditorSession<Session>(data, size, explainedByHost);
}
