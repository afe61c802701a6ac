// Renders a sound file through the compressor, streamed block by block: the processor the
// plug-in wraps, fed the blocks a host would send it.
#pragma once

#include <sndfile.h>

#include <functional>
#include <string>

#include "dsp/Parameters.h"
#include "tools/render/RenderPlot.h"

class TemporaryFile;

struct RenderJob {
    std::string inputPath;                  // as given, for messages ("-" is standard input)
    std::string outputPath;                 // as given, for messages
    float parameters[kParameterCount] = {}; // the values the editor would hold
    int blockSize = 512;                    // frames per processReplacing call
    bool floatOutput = false;               // 32-bit float samples instead of the input's
    LevelTrace* trace = nullptr;            // gathers the picture's curves; may be null
    std::function<void(double)> progress;   // told the fraction done; may be empty
};

struct RenderResult {
    long long frames = 0;
    int sampleRate = 0;
    int channels = 0;
    int format = 0;               // libsndfile's format of the output
    long long clippedSamples = 0; // beyond full scale in a format that cannot hold them
    float thresholdLevel = 1.0f;  // the engine's threshold, linear
};

constexpr int kLargestBlockSize = 65536;

// A sound file opened once for reading: a path, a pipe, or "-" for standard input.
struct SoundInput {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    SoundInput() = default;
    SoundInput(const SoundInput&) = delete;
    SoundInput& operator=(const SoundInput&) = delete;
    ~SoundInput();

    // False, with the reason, if libsndfile cannot read it or it has more than two channels.
    bool open(const std::string& path, std::string& error);
    // The frames the header announces, or -1 where they cannot be trusted: a stream (pipe or
    // standard input) may be written before its length is known.
    long long knownFrames() const;
};

// The output's format: the input's, or its type with 32-bit float samples.
struct OutputFormat {
    int format = 0;
    bool downgradeWhenShort = false; // RF64 written as plain WAV if it stays under 4 GiB
    long long largestFrames = -1;    // what the type's size fields hold; -1 for any length
};

// Chooses the format of an output of `frames` frames (-1: unknown). A WAV file that passes
// 4 GiB is written as RF64; one of unknown length as RF64 that stays WAV when short. Another type
// whose size fields cannot hold the length is refused with a message naming types that can.
bool chooseOutputFormat(int inputFormat, bool floatOutput, int channels, long long frames,
                        OutputFormat& chosen, std::string& error);

// Processes `input` into the temporary file `output` (in `format`) and finishes it (flushed and
// closed); the caller commits it. On failure `error` says what went wrong.
bool renderFile(const RenderJob& job, SoundInput& input, const OutputFormat& format,
                TemporaryFile& output, RenderResult& result, std::string& error);
