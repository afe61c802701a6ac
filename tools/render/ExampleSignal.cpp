#include "tools/render/ExampleSignal.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// A small linear congruential generator: the same noise on every platform.
class Noise {
public:
    double next() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) * 0x1.0p-52 - 1.0; // -1 .. 1
    }

private:
    std::uint64_t state = 0x51A7E5EEDULL;
};

} // namespace

StereoAudio makeExampleSignal(int sampleRate, double seconds) {
    StereoAudio audio;
    audio.sampleRate = sampleRate;
    const std::size_t frames = static_cast<std::size_t>(std::lround(seconds * sampleRate));
    audio.left.resize(frames);
    audio.right.resize(frames);
    std::vector<double> left(frames), right(frames);
    double peak = 0.0;

    const double fs = sampleRate;
    const double beat = 0.5; // seconds
    Noise noise;
    for (std::size_t k = 0; k < frames; ++k) {
        const double time = static_cast<double>(k) / fs;
        const double sinceBeat = std::fmod(time, beat);
        const int beatIndex = static_cast<int>(time / beat);
        const double sinceHalf = std::fmod(time, beat / 2);

        // Chord A3 + E4, slightly wider on the right.
        const double chordL =
            0.09 * std::sin(2 * kPi * 220.0 * time) + 0.06 * std::sin(2 * kPi * 329.63 * time);
        const double chordR = 0.09 * std::sin(2 * kPi * 220.0 * time + 0.4) +
                              0.06 * std::sin(2 * kPi * 329.63 * time + 0.9);

        // Kick: a sine falling from 150 Hz to 50 Hz, 60 ms decay.
        const double kickPhase =
            2 * kPi * (50.0 * sinceBeat + 100.0 * 0.03 * (1.0 - std::exp(-sinceBeat / 0.03)));
        const double kick = 0.85 * std::exp(-sinceBeat / 0.06) * std::sin(kickPhase);

        // Snare on beats 2 and 4: noise with a 180 Hz body, 40 ms decay.
        const double white = noise.next();
        double snare = 0.0;
        if (beatIndex % 2 == 1) {
            snare = std::exp(-sinceBeat / 0.04) *
                    (0.45 * white + 0.25 * std::sin(2 * kPi * 180.0 * sinceBeat));
        }

        // Hats on the off-beats: quiet, short, mostly on the right.
        double hat = 0.0;
        if (sinceBeat >= beat / 2) {
            hat = 0.12 * std::exp(-sinceHalf / 0.008) * noise.next();
        }

        left[k] = chordL + kick + snare + 0.5 * hat;
        right[k] = chordR + kick + 0.8 * snare + hat;
        peak = std::fmax(peak, std::fmax(std::fabs(left[k]), std::fabs(right[k])));
    }

    // Normalised to a peak of 0.9 (-0.9 dBFS), so that no file format clips it.
    const double scale = 0.9 / peak;
    for (std::size_t k = 0; k < frames; ++k) {
        audio.left[k] = static_cast<float>(left[k] * scale);
        audio.right[k] = static_cast<float>(right[k] * scale);
    }
    return audio;
}
