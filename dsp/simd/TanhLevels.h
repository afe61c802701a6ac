// Entry points of the instruction-set specific block tanh loops (see FastTanh.h for the
// contract). Each returns the number of samples it handed to the library's tanh.
#pragma once

namespace quorvel::tanh_levels {

int tanhBlockScalar(float* data, int n);

#if defined(__i386__) || defined(__x86_64__)
int tanhBlockSse2(float* data, int n);
// Only on processors with AVX2 and an OS that saves the YMM state.
int tanhBlockAvx2(float* data, int n);
#endif

} // namespace quorvel::tanh_levels
