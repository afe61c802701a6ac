// quorvel_render: processes a sound file through the plug-in module the way a host does, or
// writes the example file.
//
//   quorvel_render <plugin.so> <input.wav> <output.wav>   process; output is 32-bit float WAV
//   quorvel_render --make-example <output.wav>            write the 6 s example (24-bit WAV)
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "plugin/CompressorEffect.h"
#include "plugin/PluginIdentity.h"
#include "tools/render/ExampleSignal.h"
#include "tools/render/PluginHost.h"
#include "tools/render/WavFile.h"

namespace {

constexpr int kHostBlockSize = 512;

int usage() {
    std::fprintf(stderr, "usage: quorvel_render <plugin.so> <input.wav> <output.wav>\n"
                         "       quorvel_render --make-example <output.wav>\n");
    return 2;
}

float peakOf(const StereoAudio& audio) {
    float peak = 0.0f;
    for (std::size_t k = 0; k < audio.frames(); ++k) {
        peak = std::fmax(peak, std::fabs(audio.left[k]));
        peak = std::fmax(peak, std::fabs(audio.right[k]));
    }
    return peak;
}

void printLevel(const char* name, double linear, const char* unit) {
    std::printf("%-22s %10.6f  (%7.2f %s)\n", name, linear, 20.0 * std::log10(linear), unit);
}

// The engine's gain, read straight from the effect object: the tool is built from the same
// sources as the module, so the layout matches. Only done for this plug-in's unique ID.
// The engine starts from a gain of 0 and rises from there, so the lowest gain is taken only
// after a warm-up of one second.
struct GainWatch {
    bool available = false;
    long long blocks = 0;
    long long warmUpBlocks = 0;
    float last = 0.0f;
    float lowest = 1.0f;
};

void watchGain(AEffect* record, void* context) {
    auto* watch = static_cast<GainWatch*>(context);
    if (record->uniqueID != identity::kUniqueId) {
        return;
    }
    auto* effect = static_cast<CompressorEffect*>(static_cast<EffectBase*>(record->object));
    watch->available = true;
    watch->last = effect->engine.smoothedGain.load(std::memory_order_relaxed);
    if (++watch->blocks > watch->warmUpBlocks) {
        watch->lowest = std::fmin(watch->lowest, watch->last);
    }
}

int makeExample(const char* path) {
    std::string error;
    const StereoAudio example = makeExampleSignal();
    if (!writeWavFile(path, example, WavEncoding::Pcm24, error)) {
        std::fprintf(stderr, "quorvel_render: %s\n", error.c_str());
        return 1;
    }
    std::printf("wrote %s: %zu frames, %d Hz, stereo, 24-bit\n", path, example.frames(),
                example.sampleRate);
    return 0;
}

int renderFile(const char* pluginPath, const char* inputPath, const char* outputPath) {
    std::string error;
    StereoAudio audio;
    if (!readAudioFile(inputPath, audio, error)) {
        std::fprintf(stderr, "quorvel_render: %s\n", error.c_str());
        return 1;
    }
    const float inputPeak = peakOf(audio);

    GainWatch watch;
    watch.warmUpBlocks = (audio.sampleRate + kHostBlockSize - 1) / kHostBlockSize;
    {
        PluginHost host;
        if (!host.load(pluginPath, error)) {
            std::fprintf(stderr, "quorvel_render: %s\n", error.c_str());
            return 1;
        }
        host.render(audio, kHostBlockSize, &watchGain, &watch);
    } // effClose, then the module is unloaded

    if (!writeWavFile(outputPath, audio, WavEncoding::Float32, error)) {
        std::fprintf(stderr, "quorvel_render: %s\n", error.c_str());
        return 1;
    }

    std::printf("rendered %s -> %s: %zu frames at %d Hz in blocks of %d\n", inputPath, outputPath,
                audio.frames(), audio.sampleRate, kHostBlockSize);
    printLevel("input peak", inputPeak, "dBFS");
    printLevel("output peak", peakOf(audio), "dBFS");
    if (watch.available) {
        printLevel("engine gain at end", watch.last, "dB");
        if (watch.blocks > watch.warmUpBlocks) {
            printLevel("lowest gain after 1 s", watch.lowest, "dB");
        }
        std::printf("(engine gain: the smoothed gain the compressor applies, read at the end of\n"
                    " each %d-frame block; the output gain and soft clipper come after it)\n",
                    kHostBlockSize);
    } else {
        std::printf("engine gain: not available (the module is not this plug-in)\n");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--make-example") == 0) {
        return makeExample(argv[2]);
    }
    if (argc == 4 && argv[1][0] != '-') {
        return renderFile(argv[1], argv[2], argv[3]);
    }
    return usage();
}
