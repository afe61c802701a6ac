#include "dsp/DynamicsEngine.h"

#include <cmath>
#include <cstring>

#include "dsp/ParameterLaws.h"

// Precision: signal arithmetic is double precision; every value that leaves a step to be kept
// (the gain from sample to sample, T, D, each output sample) is rounded to single precision.
// Constants written with an f suffix are single-precision values that enter the double
// arithmetic widened, exactly as they are. The per-sample loops live in simd/EngineKernel.h.

using quorvel::engine_levels::BlockJob;
using quorvel::engine_levels::Coefficients;
using quorvel::engine_levels::OutputMode;

namespace {

// A rate that is not a finite positive number is taken as 0: both smoothing coefficients are
// then 0 and the gain follows its target without smoothing.
float usableSampleRate(float sampleRate) {
    if (std::isfinite(sampleRate) && sampleRate > 0.0f) {
        return sampleRate;
    }
    return 0.0f;
}

// exp(-1 / (time x m)) for a time in milliseconds and m samples per millisecond. With m = 0
// the exponent is minus infinity and the coefficient 0; it is returned directly so that no
// division by zero happens.
double smoothingCoefficient(double timeMs, double samplesPerMs) {
    if (!(samplesPerMs > 0.0)) {
        return 0.0;
    }
    return std::exp(-1.0 / (timeMs * samplesPerMs));
}

// The position a snapshot byte stands for: exact, a byte over a power of two.
double fraction(std::uint8_t byte) {
    return byte / 128.0;
}

std::uint32_t bitsOf(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

} // namespace

Coefficients engineCoefficients(const ParamBytes& params, float sampleRate) {
    const std::uint8_t* b = params.bytes;
    Coefficients s;

    // m is held in single precision: the single constant 0.001 times the rate, rounded to
    // single (a float multiply does exactly that).
    const float samplesPerMs = 0.001f * usableSampleRate(sampleRate);

    // T is held in single precision: the byte times the single constant, squared and offset
    // by the single 0.01 in double precision, then rounded to single. The rounded value is
    // the one published to the editor and the one the gain computer compares against.
    const float threshold = static_cast<float>(
        laws::thresholdLevel(b[Threshold] * static_cast<double>(laws::kThresholdPerByte)));
    s.threshold = threshold;

    const double ratio = laws::ratio(fraction(b[Ratio]));
    s.slope = b[Limiter] != 0 ? 0.0 : 1.0 / ratio;

    const double attackMs = laws::attackMs(fraction(b[Attack]));
    const double releaseMs = laws::releaseMs(fraction(b[Release]));
    s.attack = smoothingCoefficient(attackMs, samplesPerMs);
    s.release = smoothingCoefficient(releaseMs, samplesPerMs);
    s.attackComplement = 1.0 - s.attack;
    s.releaseComplement = 1.0 - s.release;

    if (b[AutoMakeUp] != 0) {
        // The reciprocal of the level the static curve gives a peak of 1.0.
        s.outputGain = 1.0 / (s.threshold + (1.0 - s.threshold) * s.slope);
    } else {
        s.outputGain = laws::gainOfDecibels(laws::outputDecibelsOfByte(b[Output]));
    }

    // D is held in single precision (the value is exact in single anyway).
    s.depthFactor = static_cast<float>(laws::depthFactor(fraction(b[Depth])));
    return s;
}

DynamicsEngine::DynamicsEngine() : level(quorvel::detectSimdLevel()) {}

bool DynamicsEngine::setSimdLevel(quorvel::SimdLevel newLevel) {
    if (!quorvel::isSimdLevelSupported(newLevel)) {
        return false;
    }
    level = newLevel;
    return true;
}

// Two exponentials, a power and a few divisions per block are a noticeable share of a short
// block, and hosts send the same parameters and rate block after block: the results of the
// previous call are kept with the snapshot and the rate's bits they came from. A hit returns
// exactly the values a fresh computation would.
const Coefficients& DynamicsEngine::settingsFor(const ParamBytes& params, float sampleRate) {
    const std::uint32_t rateBits = bitsOf(sampleRate);
    if (!cacheValid || rateBits != cachedRateBits ||
        std::memcmp(params.bytes, cachedBytes.bytes, sizeof params.bytes) != 0) {
        cached = engineCoefficients(params, sampleRate);
        cachedThreshold = static_cast<float>(cached.threshold); // exact: T is a single
        cachedBytes = params;
        cachedRateBits = rateBits;
        cacheValid = true;
    }
    return cached;
}

void DynamicsEngine::run(BlockJob& job) {
    switch (level) {
#if defined(__i386__) || defined(__x86_64__)
    case quorvel::SimdLevel::Avx2:
        quorvel::engine_levels::runBlockAvx2(job);
        return;
    case quorvel::SimdLevel::Sse2:
        quorvel::engine_levels::runBlockSse2(job);
        return;
#else
    case quorvel::SimdLevel::Avx2:
    case quorvel::SimdLevel::Sse2:
#endif
    case quorvel::SimdLevel::Scalar:
        break;
    }
    quorvel::engine_levels::runBlockScalar(job);
}

void DynamicsEngine::process(float* left, float* right, std::int32_t count,
                             const ParamBytes* params, float sampleRate) {
    processBlock(left, right, count, params, sampleRate, BlockOutputs{});
}

void DynamicsEngine::processBlock(float* left, float* right, std::int32_t count,
                                  const ParamBytes* params, float sampleRate,
                                  const BlockOutputs& outputs) {
    BlockJob job;
    job.left = left;
    job.right = right;
    job.count = count;
    job.active = params->bytes[Active] != 0;
    if (job.active) {
        job.k = settingsFor(*params, sampleRate);
        thresholdLevel.store(cachedThreshold, std::memory_order_relaxed);
    }
    if (count <= 0) {
        return;
    }
    job.softClip = params->bytes[Softclip] != 0;
    job.gain = &smoothedGain;
    job.inputPeak = outputs.inputPeak;
    job.outputPeak = outputs.outputPeak;
    if (outputs.left != nullptr && outputs.right != nullptr) {
        job.output = outputs.replace ? OutputMode::Replace : OutputMode::Add;
        job.outLeft = outputs.left;
        job.outRight = outputs.right;
        // The result goes back into an input channel only where the host gave that buffer as
        // an output too; the other input channels are left as they were.
        job.writeBackLeft = left == outputs.left || left == outputs.right;
        job.writeBackRight = right == outputs.left || right == outputs.right;
    }
    if (!job.active && job.inputPeak == nullptr && job.outputPeak == nullptr &&
        job.output == OutputMode::None) {
        return;
    }
    run(job);
}
