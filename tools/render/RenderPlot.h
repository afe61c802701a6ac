// The render tool's picture: input and output level envelopes in dBFS, the engine's gain
// reduction in dB and the threshold, drawn with Cairo into a PNG file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace plot {

// The picture's geometry, fixed so that the tests can find the curves in it.
constexpr int kWidth = 1200;
constexpr int kHeight = 640;
constexpr int kLeft = 70;                     // the plot areas' left edge (x of time 0)
constexpr int kColumns = kWidth - kLeft - 30; // one column of the envelopes per pixel
constexpr int kLevelTop = 80;
constexpr int kLevelBottom = 400;
constexpr int kGainTop = 440; // y of 0 dB gain reduction
constexpr int kGainBottom = 580;

// The gain-reduction area's fill, drawn without antialiasing: exactly this colour.
constexpr std::uint8_t kGainRed = 232, kGainGreen = 128, kGainBlue = 32;

} // namespace plot

// Releases Cairo's and fontconfig's process-wide caches, so that a leak checker sees a clean
// exit. Call once, at the end of a program that drew pictures, when no Cairo object is left.
void releaseFontCaches();

// The curves of one render, one value per picture column, gathered block by block: constant
// memory whatever the file's length.
class LevelTrace {
public:
    // `totalFrames` is the announced length, or -1 when it is unknown (a stream): the columns
    // then widen as the frames arrive.
    LevelTrace(long long totalFrames, int sampleRate);

    // Frames [start, start + count) of the unprocessed input or of the output; `right` is null
    // for a mono file. Raises each column's peak magnitude.
    void addInput(const float* left, const float* right, long long start, int count);
    void addOutput(const float* left, const float* right, long long start, int count);
    // The engine's gain at the end of a block that ends before frame `end`.
    void addGain(long long end, float gain);

    long long framesPerColumn() const { return columnFrames; }
    double seconds() const { return static_cast<double>(frames) / rate; }

    // Writes the picture to the open file `fd` (named `path` in messages). `title` and
    // `subtitle` are printed above it; `thresholdLevel` is the engine's threshold as a linear
    // level. Any sample values, infinite and NaN ones included, are drawn within the picture's
    // ranges.
    bool writePng(int fd, const std::string& path, const std::string& title,
                  const std::string& subtitle, double thresholdLevel, std::string& error) const;

private:
    // For a stream: doubles the frames per column until frame `end - 1` has a column.
    void reach(long long end);
    static void raise(std::vector<float>& peaks, long long columnFrames, const float* left,
                      const float* right, long long start, int count);

    bool growing; // length unknown: `frames` is the frames seen so far
    long long frames;
    int rate;
    long long columnFrames;
    std::vector<float> inputPeak;
    std::vector<float> outputPeak;
    std::vector<float> lowestGain; // NaN where no block ended in the column
};
