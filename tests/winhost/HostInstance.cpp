// What the Windows and the Linux test hosts share: checks that print one line each, the host's
// side of one instance (opcodes, start-up and blocks through the effect record), and the
// pictures' colours in words and block copies.
#include <cstdio>

#include "tests/support/TestHost.h"
#include "tests/winhost/HostSupport.h"

namespace {
int failures = 0;
} // namespace

bool check(bool condition, const std::string& what, const std::string& detail) {
    if (condition) {
        std::printf("ok: %s\n", what.c_str());
    } else {
        ++failures;
        std::printf("FAIL: %s%s%s%s\n", what.c_str(), detail.empty() ? "" : " (", detail.c_str(),
                    detail.empty() ? "" : ")");
    }
    std::fflush(stdout);
    return condition;
}

int failureCount() {
    return failures;
}

void note(const std::string& key, const std::string& value) {
    std::printf("%s=%s\n", key.c_str(), value.c_str());
    std::fflush(stdout);
}

std::string hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string colourText(std::uint32_t colour) {
    return "(" + std::to_string((colour >> 16) & 255) + "," + std::to_string((colour >> 8) & 255) +
           "," + std::to_string(colour & 255) + ")";
}

void copyBlock(Picture& target, int dx, int dy, const Picture& source, int sx, int sy, int w,
               int h) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            target.set(dx + x, dy + y, source.at(sx + x, sy + y));
        }
    }
}

VstIntPtr Instance::dispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                             float opt) const {
    return test_host::dispatch(effect, opcode, index, value, ptr, opt);
}

void Instance::startUp(float sampleRate, VstInt32 blockSize) const {
    test_host::startUp(effect, sampleRate, blockSize);
}

Instance startedInstance(AEffect* record, const std::string& what, float sampleRate,
                         VstInt32 blockSize) {
    Instance instance(record);
    if (check(record != nullptr, what)) {
        instance.startUp(sampleRate, blockSize);
    }
    return instance;
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
