#include "tests/support/HostRecorder.h"

HostRecorder& HostRecorder::instance() {
    static HostRecorder recorder;
    return recorder;
}

VstIntPtr VST_CALLBACK HostRecorder::callback(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                              VstIntPtr value, void* ptr, float opt) {
    HostRecorder& self = instance();
    self.calls.push_back({effect, opcode, index, value, ptr, opt});
    return self.defaultAnswer;
}
