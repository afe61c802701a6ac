// The shared audio sequence through the DLL; the result file is compared with the Linux
// build's result by the test that runs this scenario.
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "tests/wine/AudioScenario.h"
#include "tests/winhost/Scenarios.h"

void scenarioAudio(ScenarioContext& context) {
    AEffect* effect = context.library.newInstance();
    if (!check(effect != nullptr, "main gives an instance")) {
        return;
    }
    Instance instance(effect);
    instance.dispatch(effOpen);
    std::vector<float> result;
    const std::string problem = audio_scenario::run(effect, result);
    check(problem.empty(), "the audio sequence runs with every write inside the frame counts",
          problem);
    check(result.size() == audio_scenario::resultSize(), "the sequence produced every sample");
    check(instance.close() == 1, "effClose answers 1");
    note("samples", std::to_string(result.size()));
    check(!context.outputPath.empty() &&
              audio_scenario::writeFloats(windowsPath(context.outputPath), result),
          "the result is written to " + context.outputPath);
    checkNoHostCallsAfterEntry("while processing");
}

#if defined(__i386__)

// Calls the cdecl or stdcall function `function` with `count` 32-bit arguments and the stack
// pointer `offset` bytes (0, 4, 8 or 12) below a multiple of 16 at the call, where a 16-byte
// aligned caller would have it at the multiple: 32-bit Windows hosts built with other
// compilers keep only 4-byte alignment. The stack pointer is restored from the frame, so
// either convention's clean-up works. Returns EAX.
extern "C" std::uint32_t callWithStackOffset(const void* function, const std::uint32_t* arguments,
                                             int count,
                                             int offset) __asm__("quorvel_call_with_stack_offset");
__asm__(R"(
    .text
    .globl quorvel_call_with_stack_offset
quorvel_call_with_stack_offset:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    pushl %ebx
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    leal 0(,%ecx,4), %edi
    subl %edi, %esp
    andl $-16, %esp
    subl 20(%ebp), %esp
    xorl %edi, %edi
1:  cmpl %ecx, %edi
    jge 2f
    movl (%esi,%edi,4), %ebx
    movl %ebx, (%esp,%edi,4)
    incl %edi
    jmp 1b
2:  call *8(%ebp)
    leal -12(%ebp), %esp
    popl %ebx
    popl %edi
    popl %esi
    popl %ebp
    ret
)");

namespace {

int stackOffset = 0; // of every call below

template <class Function>
std::uint32_t callShifted(Function function, std::initializer_list<std::uint32_t> args) {
    return callWithStackOffset(reinterpret_cast<const void*>(function), args.begin(),
                               static_cast<int>(args.size()), stackOffset);
}

std::uint32_t word(const void* pointer) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

std::uint32_t word(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

VstIntPtr shiftedDispatch(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                          float opt) {
    return static_cast<VstIntPtr>(
        callShifted(e->dispatcher,
                    {word(e), static_cast<std::uint32_t>(opcode), static_cast<std::uint32_t>(index),
                     static_cast<std::uint32_t>(value), word(ptr), word(opt)}));
}

void shiftedReplacing(AEffect* e, float** in, float** out, VstInt32 n) {
    callShifted(e->processReplacing, {word(e), word(in), word(out), static_cast<std::uint32_t>(n)});
}

void shiftedProcess(AEffect* e, float** in, float** out, VstInt32 n) {
    callShifted(e->process, {word(e), word(in), word(out), static_cast<std::uint32_t>(n)});
}

// The audio sequence with every call into the DLL made at the current offset: the entry, the
// dispatcher, both processing entries, and the editor's window procedure (paint, a press and
// release on the panel, idle) in between.
std::vector<float> runShifted(ScenarioContext& context, HWND host, std::string& problem) {
    std::vector<float> result;
    auto* effect = reinterpret_cast<AEffect*>(
        callShifted(context.library.entryPoint(),
                    {word(reinterpret_cast<const void*>(PluginLibrary::hostCallback()))}));
    if (effect == nullptr || effect->magic != kEffectMagic) {
        problem = "main gave no instance";
        return result;
    }
    shiftedDispatch(effect, effOpen, 0, 0, nullptr, 0.0f);
    shiftedDispatch(effect, effEditOpen, 0, 0, host, 0.0f);
    if (const HWND editor = findEditorWindow(host)) {
        const auto procedure = GetWindowLongPtrA(editor, GWLP_WNDPROC);
        for (const UINT message : {WM_PAINT, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_PAINT}) {
            callShifted(procedure, {word(editor), message, 0, (20u << 16) | 300u});
        }
    } else {
        problem = "the editor opened no window";
    }
    shiftedDispatch(effect, effEditIdle, 0, 0, nullptr, 0.0f);
    const audio_scenario::Calls calls = {shiftedDispatch, shiftedReplacing, shiftedProcess};
    const std::string ran = audio_scenario::run(effect, result, calls);
    problem = problem.empty() ? ran : problem;
    shiftedDispatch(effect, effEditClose, 0, 0, nullptr, 0.0f);
    shiftedDispatch(effect, effClose, 0, 0, nullptr, 0.0f);
    return result;
}

} // namespace

void scenarioAudioMisalignedStack(ScenarioContext& context) {
    const HWND host = createHostWindow("misaligned stack", 40, 40);
    std::string problem;
    stackOffset = 0;
    const std::vector<float> aligned = runShifted(context, host, problem);
    check(problem.empty() && aligned.size() == audio_scenario::resultSize(),
          "the sequence runs with the stack aligned to 16 bytes at every call", problem);
    for (const int offset : {4, 8, 12}) {
        stackOffset = offset;
        const std::vector<float> shifted = runShifted(context, host, problem);
        check(problem.empty() && shifted.size() == aligned.size() &&
                  std::memcmp(shifted.data(), aligned.data(), aligned.size() * sizeof(float)) == 0,
              "with the stack " + std::to_string(offset) +
                  " bytes off 16 at every call the audio is the same, bit for bit",
              problem);
    }
    DestroyWindow(host);
}

#else

void scenarioAudioMisalignedStack(ScenarioContext&) {
    check(false, "the stack alignment scenario is for the 32-bit DLL");
}

#endif
