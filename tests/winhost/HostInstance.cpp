// The host's side of one instance, the same for the Windows and the Linux test hosts: opcodes,
// start-up and blocks through the effect record.
#include "tests/winhost/HostSupport.h"

VstIntPtr Instance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) const {
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void Instance::startUp(float sampleRate, VstInt32 blockSize) const {
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

std::vector<float> Instance::processReplacing(const std::vector<float>& left,
                                              const std::vector<float>& right) const {
    std::vector<float> inLeft(left), inRight(right);
    std::vector<float> outLeft(left.size()), outRight(right.size());
    float* inputs[2] = {inLeft.data(), inRight.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    effect->processReplacing(effect, inputs, outputs, static_cast<VstInt32>(left.size()));
    outLeft.insert(outLeft.end(), outRight.begin(), outRight.end());
    return outLeft;
}

VstIntPtr Instance::close() {
    const VstIntPtr answer = dispatch(effClose);
    effect = nullptr;
    return answer;
}
