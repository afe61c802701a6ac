// Renders a sound file through the compressor, streamed block by block: the product's own
// effect, driven through its AEffect record as a host drives it.
#pragma once

#include <functional>
#include <string>

#include "dsp/Parameters.h"
#include "tools/render/RenderPlot.h"

struct RenderJob {
    std::string inputPath;
    std::string outputPath;
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

// The announced length and rate of a file that libsndfile can open, for sizing the picture.
bool probeAudioFile(const std::string& path, long long& frames, int& sampleRate,
                    std::string& error);

// Writes into a temporary file beside the output and renames it on success; on any failure
// nothing is left at (or beside) the output path, and `error` says what went wrong.
bool renderFile(const RenderJob& job, RenderResult& result, std::string& error);

// On SIGINT, SIGTERM or SIGHUP the temporary file of a render in progress is removed before
// the process ends. For the command-line program only.
void removeTemporaryFileOnSignals();
