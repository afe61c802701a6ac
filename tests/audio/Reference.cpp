#include "tests/audio/Reference.h"

#include <cmath>
#include <cstring>

namespace reference {

namespace {
double square(double v) {
    return v * v;
}

// Gain and output gain on one sample, rounded to float. Mended rule: an infinite sample times
// a gain of exactly 0 (NaN under IEEE arithmetic) gives a zero of the sample's sign.
float gainedSample(float x, double gain, double G) {
    const float product = static_cast<float>((double(x) * gain) * G);
    if (std::isnan(product) && !std::isnan(x)) {
        return std::copysign(0.0f, x);
    }
    return product;
}
} // namespace

EffectState::EffectState() {
    const float defaults[kParameterCount] = {0.5f, 0.5f,  0.18f, 0.23f, 1.0f,
                                             0.0f, 0.63f, 1.0f,  0.0f,  0.0f};
    std::memcpy(parameters, defaults, sizeof(parameters));
}

ParamBytes snapshot(const float parameters[kParameterCount]) {
    ParamBytes p;
    for (int i = 0; i < kParameterCount; ++i) {
        const float product = parameters[i] * 128.0f;
        const double t = std::trunc(static_cast<double>(product));
        std::int64_t n = INT64_MIN; // what the processor gives for NaN and out-of-range values
        if (t >= -9223372036854775808.0 && t < 9223372036854775808.0) {
            n = static_cast<std::int64_t>(t);
        }
        p.bytes[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(n) & 0xFFu);
    }
    return p;
}

void meterPass(float& meter, const float* left, const float* right, std::int32_t count) {
    double m = meter;
    for (std::int32_t k = 0; k < count; ++k) {
        const double l = std::fabs(static_cast<double>(left[k]));
        if (l > m && l != INFINITY) {
            m = l;
        }
        const double r = std::fabs(static_cast<double>(right[k]));
        if (r > m && r != INFINITY) {
            m = r;
        }
        if (m > 0.0) {
            m = m + -0.0001;
        }
    }
    meter = static_cast<float>(m);
}

void engineProcess(EngineState& state, float* left, float* right, std::int32_t count,
                   const ParamBytes& params, float sampleRate) {
    const std::uint8_t* b = params.bytes;
    if (b[4] == 0) {
        return;
    }
    float fs = sampleRate;
    if (!(fs > 0.0f && fs <= 3.4028234663852886e38f)) {
        fs = 0.0f; // 0, negative, NaN and infinite rates
    }

    const float m = 0.001f * fs;
    const float T = static_cast<float>(square(b[0] * (double)kThresholdPerByte) + (double)0.01f);
    state.thresholdLevel = T;
    const double R = 1.0 + 19.0 * square(b[1] / 128.0);
    const double S = b[5] != 0 ? 0.0 : 1.0 / R;
    // With m = 0 the exponent is -1/0 = minus infinity under IEEE arithmetic: a = r = 0.
    const double a = std::exp(-1.0 / ((0.1 + 199.9 * square(b[2] / 128.0)) * (double)m));
    const double r = std::exp(-1.0 / ((50.0 + 2950.0 * square(b[3] / 128.0)) * (double)m));
    double G = std::pow(10.0, ((b[6] + (double)-64.0f) * (double)0.3125f) * (double)0.05f);
    if (b[9] != 0) {
        G = 1.0 / (T + (1.0 - T) * S);
    }
    const float D = static_cast<float>(square(1.0 - b[8] / 128.0));

    const bool mono = left == right;
    for (std::int32_t i = 0; i < count; ++i) {
        double x = std::fabs(left[i]);
        if (!mono && std::fabs(right[i]) > x) {
            x = std::fabs(right[i]);
        }
        double t = 1.0;
        if (x > T) {
            t = ((D * (T + (x - T) * S)) / x);
        }
        const double g = state.smoothedGain;
        double next;
        if (g > t) {
            next = a * g + (1.0 - a) * t;
        } else {
            next = r * g + (1.0 - r) * t;
        }
        if (std::isfinite(static_cast<float>(next))) {
            state.smoothedGain = static_cast<float>(next);
        }
        const double gain = state.smoothedGain;
        left[i] = gainedSample(left[i], gain, G);
        if (!mono) {
            right[i] = gainedSample(right[i], gain, G);
        }
    }
    if (b[7] != 0 && count > 0) {
        for (std::int32_t i = 0; i < count; ++i) {
            left[i] = static_cast<float>(std::tanh(double(left[i])));
        }
        if (!mono) {
            for (std::int32_t i = 0; i < count; ++i) {
                right[i] = static_cast<float>(std::tanh(double(right[i])));
            }
        }
    }
}

void processBlock(EffectState& state, float** inputs, float** outputs, std::int32_t frames,
                  bool replace) {
    float* in[2] = {inputs[0], inputs[1]};
    float* out[2] = {outputs[0], outputs[1]};
    const ParamBytes p = snapshot(state.parameters);
    if (frames > 0) {
        meterPass(state.inputPeak, in[0], in[1], frames);
    }
    engineProcess(state.engine, in[0], in[1], frames, p, state.sampleRate);
    if (frames > 0) {
        meterPass(state.outputPeak, in[0], in[1], frames);
        for (std::int32_t k = 0; k < frames; ++k) {
            for (int c = 0; c < 2; ++c) {
                out[c][k] = replace ? in[c][k] : static_cast<float>(out[c][k] + in[c][k]);
            }
        }
    }
}

} // namespace reference
