// The input and output level meters: held peak magnitudes with a linear release.
#pragma once

#include <atomic>
#include <cstdint>

// Runs the meter over one block of both channels. For each sample frame the meter rises to
// the larger finite magnitude it exceeds, then falls by 0.0001 if it is above zero. The value
// is carried in double precision within the block and stored (rounded to single precision)
// after every change, so a reader on another thread always sees the latest value.
// count <= 0 reads nothing and leaves the meter as it is.
void updatePeakMeter(std::atomic<float>& meter, const float* left, const float* right,
                     std::int32_t count);
