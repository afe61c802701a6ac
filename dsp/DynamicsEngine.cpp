#include "DynamicsEngine.h"

#include <cmath>

// Precision: signal arithmetic is double precision; every value that leaves a step to be kept
// (the gain from sample to sample, T, D, each output sample) is rounded to single precision at
// the point marked below. Constants written with an f suffix are single-precision values that
// enter the double arithmetic widened, exactly as they are.

namespace {

// Per-call quantities derived from the snapshot bytes and the sample rate.
struct BlockSettings {
    double threshold;   // T, a single-precision value widened
    double slope;       // S = 1 / R, or 0 with the limiter
    double attack;      // a, per-sample decay factor while the gain falls
    double release;     // r, per-sample decay factor while the gain rises
    double outputGain;  // G
    double depthFactor; // D, a single-precision value widened
};

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

double squaredFraction(std::uint8_t byte) {
    const double fraction = byte / 128.0; // exact: a byte over a power of two
    return fraction * fraction;
}

BlockSettings computeSettings(const ParamBytes& params, float sampleRate) {
    const std::uint8_t* b = params.bytes;
    BlockSettings s;

    // m is held in single precision: the single constant 0.001 times the rate, rounded to
    // single (a float multiply does exactly that).
    const float samplesPerMs = 0.001f * usableSampleRate(sampleRate);

    // T is held in single precision: the byte times the single constant, squared and offset
    // by the single 0.01 in double precision, then rounded to single. The rounded value is
    // the one published to the editor and the one the gain computer compares against.
    const double scaled = b[Threshold] * static_cast<double>(0.007752538658678532f);
    const float threshold = static_cast<float>(scaled * scaled + static_cast<double>(0.01f));
    s.threshold = threshold;

    const double ratio = 1.0 + 19.0 * squaredFraction(b[Ratio]);
    s.slope = b[Limiter] != 0 ? 0.0 : 1.0 / ratio;

    const double attackMs = 0.1 + 199.9 * squaredFraction(b[Attack]);
    const double releaseMs = 50.0 + 2950.0 * squaredFraction(b[Release]);
    s.attack = smoothingCoefficient(attackMs, samplesPerMs);
    s.release = smoothingCoefficient(releaseMs, samplesPerMs);

    if (b[AutoMakeUp] != 0) {
        // The reciprocal of the level the static curve gives a peak of 1.0.
        s.outputGain = 1.0 / (s.threshold + (1.0 - s.threshold) * s.slope);
    } else {
        // The single constants -64, 0.3125 and 0.05 widened; the arithmetic stays double.
        const double decibels =
            (b[Output] + static_cast<double>(-64.0f)) * static_cast<double>(0.3125f);
        s.outputGain = std::pow(10.0, decibels * static_cast<double>(0.05f));
    }

    // D is held in single precision (the value is exact in single anyway).
    const double remaining = 1.0 - b[Depth] / 128.0;
    const float depthFactor = static_cast<float>(remaining * remaining);
    s.depthFactor = depthFactor;
    return s;
}

// Gain computer: linear amplitudes, hard corner at T. A level equal to T counts as below.
double targetGain(double level, const BlockSettings& s) {
    if (level > s.threshold) {
        return (s.depthFactor * (s.threshold + (level - s.threshold) * s.slope)) / level;
    }
    return 1.0;
}

// One smoother step from the stored gain towards the target: attack while the gain must fall,
// release otherwise. The result is rounded to single precision because the gain is carried
// from sample to sample (and block to block) as a float. A step that is not finite (an
// infinite input makes the target NaN) keeps the previous gain, so the state never sticks.
float smoothGain(float stored, double target, const BlockSettings& s) {
    const double g = stored;
    const double next = g > target ? s.attack * g + (1.0 - s.attack) * target
                                   : s.release * g + (1.0 - s.release) * target;
    const float rounded = static_cast<float>(next);
    return std::isfinite(rounded) ? rounded : stored;
}

// Output samples are stored as floats: the product is rounded once, after the output gain.
float applyGain(float sample, double gain, double outputGain) {
    return static_cast<float>((static_cast<double>(sample) * gain) * outputGain);
}

float softClip(float sample) {
    return static_cast<float>(std::tanh(static_cast<double>(sample)));
}

} // namespace

void DynamicsEngine::process(float* left, float* right, std::int32_t count,
                             const ParamBytes* params, float sampleRate) {
    if (params->bytes[Active] == 0) {
        return;
    }

    const BlockSettings s = computeSettings(*params, sampleRate);
    thresholdLevel.store(static_cast<float>(s.threshold), std::memory_order_relaxed);

    // A host running the plug-in in mono may pass one buffer as both channels: it then gets
    // the gain (and the soft clipper) once, with its own magnitude as the detector.
    const bool sharedBuffer = left == right;

    float gain = smoothedGain.load(std::memory_order_relaxed);
    for (std::int32_t i = 0; i < count; ++i) {
        // Detector: the larger magnitude; a NaN on the right never wins the comparison.
        float level = std::fabs(left[i]);
        if (!sharedBuffer && std::fabs(right[i]) > level) {
            level = std::fabs(right[i]);
        }

        // The gain that multiplies this sample is the single-precision value just stored,
        // widened again: the same number the next sample starts from.
        gain = smoothGain(gain, targetGain(level, s), s);
        smoothedGain.store(gain, std::memory_order_relaxed);

        left[i] = applyGain(left[i], gain, s.outputGain);
        if (!sharedBuffer) {
            right[i] = applyGain(right[i], gain, s.outputGain);
        }
    }

    if (params->bytes[Softclip] != 0) {
        for (std::int32_t i = 0; i < count; ++i) {
            left[i] = softClip(left[i]);
            if (!sharedBuffer) {
                right[i] = softClip(right[i]);
            }
        }
    }
}
