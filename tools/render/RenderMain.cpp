// quorvel-render: processes a sound file through the compressor with the settings asked for,
// bit for bit as the plug-in processes it in a host; or writes the bundled example.
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/render/ExampleSignal.h"
#include "tools/render/OutputFiles.h"
#include "tools/render/RenderFile.h"
#include "tools/render/RenderSettings.h"
#include "tools/render/WavFile.h"

namespace {

const char* const kUsage =
    "usage: quorvel-render IN OUT [options]   process IN (mono or stereo; - for standard\n"
    "                                          input) into OUT\n"
    "       quorvel-render --make-example OUT [SECONDS]\n"
    "                                          write the bundled 6 s example (24-bit WAV),\n"
    "                                          repeated to SECONDS if given\n"
    "settings, in the editor's units (each set to the nearest value the editor's knobs reach):\n"
    "  --threshold DB   --ratio R   --attack MS   --release MS   --depth PCT\n"
    "  --output DB | --auto-gain    --limiter     --softclip on|off\n"
    "other options:\n"
    "  --float          write 32-bit float samples instead of the input's format\n"
    "  --plot FILE.png  draw the levels, the gain reduction and the threshold\n"
    "  --block N        frames per processing call, as a host's block size (default 512)\n"
    "  --quiet          print nothing but errors\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "quorvel-render: %s\n%s", message.c_str(), kUsage);
    return 2;
}

// A value the tool cannot use: the message alone, which names what is wrong.
int valueError(const std::string& message) {
    std::fprintf(stderr, "quorvel-render: %s\n", message.c_str());
    return 2;
}

int failure(const std::string& message) {
    std::fprintf(stderr, "quorvel-render: %s\n", message.c_str());
    return 1;
}

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

std::string formatName(int format) {
    SF_FORMAT_INFO major{}, subtype{};
    major.format = format & SF_FORMAT_TYPEMASK;
    subtype.format = format & SF_FORMAT_SUBMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major);
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &subtype, sizeof subtype);
    return std::string(major.name ? major.name : "?") + ", " + (subtype.name ? subtype.name : "?");
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A bar on standard error, redrawn when the whole percentage changes.
struct ProgressBar {
    int shown = -1;
    void operator()(double fraction) {
        const int percent = static_cast<int>(fraction * 100.0);
        if (percent == shown) {
            return;
        }
        shown = percent;
        char bar[41];
        const int filled = percent * 40 / 100;
        for (int i = 0; i < 40; ++i) {
            bar[i] = i < filled ? '#' : '.';
        }
        bar[40] = '\0';
        std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
        std::fflush(stderr);
    }
};

// The 6 s example, or as many copies of it as fill `seconds` (written piece by piece), as
// 24-bit WAV (RF64 past 4 GiB), replacing `path` as a render replaces its output.
int makeExample(const std::string& path, double seconds) {
    std::string error;
    FileIdentity target;
    if (!resolveOutput(path, target, error)) {
        return failure(error);
    }
    const StereoAudio example = makeExampleSignal();
    const auto total = seconds <= 6.0
                           ? static_cast<sf_count_t>(example.frames())
                           : static_cast<sf_count_t>(std::llround(seconds * example.sampleRate));
    OutputFormat format;
    if (!chooseOutputFormat(SF_FORMAT_WAV | SF_FORMAT_PCM_24, false, 2, total, format, error)) {
        return failure(path + ": " + error);
    }
    std::signal(SIGXFSZ, SIG_IGN);
    cleanUpOnSignals();
    TemporaryFile temporary;
    if (!temporary.create(target, path, error)) {
        return failure(error);
    }
    SF_INFO info{};
    info.samplerate = example.sampleRate;
    info.channels = 2;
    info.format = format.format;
    SNDFILE* file = sf_open_fd(temporary.descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) {
        return failure(path + ": " + sf_strerror(nullptr));
    }
    if (seconds <= 6.0) {
        // The 6 s example has always been written with libsndfile's clipping and the longer
        // ones without (no sample reaches full scale): each keeps its bits.
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }
    std::vector<float> interleaved(example.frames() * 2);
    for (std::size_t k = 0; k < example.frames(); ++k) {
        interleaved[2 * k] = example.left[k];
        interleaved[2 * k + 1] = example.right[k];
    }
    sf_count_t remaining = total;
    bool written = true;
    while (remaining > 0 && written) {
        const sf_count_t frames = std::min(remaining, static_cast<sf_count_t>(example.frames()));
        written = sf_writef_float(file, interleaved.data(), frames) == frames;
        remaining -= frames;
    }
    if (sf_close(file) != 0 || !written) {
        return failure(path + ": write failed");
    }
    if (!temporary.finish(error) || !temporary.commit(error)) {
        return failure(error);
    }
    std::printf("wrote %s: %.1f s, %d Hz, stereo, 24-bit%s\n", path.c_str(), std::max(seconds, 6.0),
                example.sampleRate,
                (format.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_RF64 ? " (RF64)" : "");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--make-example") == 0) {
        double seconds = 6.0;
        if (argc == 4 && (!parseNumber(argv[3], seconds) || seconds < 6.0 || seconds > 86400.0)) {
            return valueError("--make-example: the length is 6 to 86400 seconds");
        }
        return makeExample(argv[2], seconds);
    }

    RenderJob job;
    ParameterValues values;
    setDefaultParameters(values);
    std::string plotPath;
    bool quiet = false;
    bool outputGiven = false;
    bool autoGain = false;
    std::string paths[2];
    int pathCount = 0;

    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        if (option.rfind("--", 0) != 0 || option.size() == 2) {
            if (pathCount == 2) {
                return usageError("unexpected argument " + option);
            }
            paths[pathCount++] = option;
            continue;
        }
        // "--name value" or "--name=value".
        std::string value;
        bool hasValue = false;
        const std::size_t equals = option.find('=');
        if (equals != std::string::npos) {
            value = option.substr(equals + 1);
            option = option.substr(0, equals);
            hasValue = true;
        }
        const std::string name = option.substr(2);
        const auto takeValue = [&]() {
            if (!hasValue && i + 1 < argc) {
                value = argv[++i];
                hasValue = true;
            }
            return hasValue;
        };

        const KnobOption* knob = nullptr;
        for (const KnobOption& candidate : kKnobOptions) {
            if (name == candidate.name) {
                knob = &candidate;
            }
        }
        if (knob != nullptr) {
            double asked = 0.0;
            if (!takeValue() || !parseNumber(value, asked)) {
                return valueError(option + " needs a number");
            }
            float position = 0.0f;
            std::string error;
            if (!nearestKnobPosition(*knob, asked, position, error)) {
                return valueError(error);
            }
            values[knob->parameter].store(position, std::memory_order_relaxed);
            outputGiven = outputGiven || knob->parameter == Output;
        } else if (name == "auto-gain" || name == "limiter" || name == "float" || name == "quiet" ||
                   name == "help") {
            if (hasValue) {
                return usageError(option + " takes no value");
            }
            if (name == "auto-gain") {
                autoGain = true;
                values[AutoMakeUp].store(1.0f, std::memory_order_relaxed);
            } else if (name == "limiter") {
                values[Limiter].store(1.0f, std::memory_order_relaxed);
            } else if (name == "float") {
                job.floatOutput = true;
            } else if (name == "quiet") {
                quiet = true;
            } else {
                std::printf("%s", kUsage);
                return 0;
            }
        } else if (name == "softclip") {
            if (!takeValue() || (value != "on" && value != "off")) {
                return valueError("--softclip needs on or off");
            }
            values[Softclip].store(value == "on" ? 1.0f : 0.0f, std::memory_order_relaxed);
        } else if (name == "plot") {
            if (!takeValue() || value.empty()) {
                return usageError("--plot needs a file name");
            }
            plotPath = value;
        } else if (name == "block") {
            double frames = 0.0;
            if (!takeValue() || !parseNumber(value, frames) || frames != std::floor(frames) ||
                frames < 1 || frames > kLargestBlockSize) {
                return valueError("--block needs a whole number of frames from 1 to " +
                                  std::to_string(kLargestBlockSize));
            }
            job.blockSize = static_cast<int>(frames);
        } else {
            return usageError("unknown option " + option);
        }
    }
    if (pathCount != 2) {
        return usageError("an input and an output file are needed");
    }
    if (paths[1] == "-") {
        return valueError("the output is written to a file, not to standard output");
    }
    if (outputGiven && autoGain) {
        return valueError("--output and --auto-gain exclude each other");
    }

    job.inputPath = paths[0];
    job.outputPath = paths[1];
    for (int i = 0; i < kParameterCount; ++i) {
        job.parameters[i] = values[i].load(std::memory_order_relaxed);
    }
    // The input, the output and the picture are three different files.
    std::string error;
    const FileIdentity input = identifyInput(job.inputPath);
    FileIdentity output, picture;
    if (!resolveOutput(job.outputPath, output, error) ||
        (!plotPath.empty() && !resolveOutput(plotPath, picture, error))) {
        return failure(error);
    }
    if (sameFile(input, output)) {
        return failure(job.outputPath + ": the output would overwrite the input");
    }
    if (!plotPath.empty() && sameFile(input, picture)) {
        return failure(plotPath + ": the picture would overwrite the input");
    }
    if (!plotPath.empty() && sameFile(output, picture)) {
        return failure(plotPath + ": the picture would overwrite the output");
    }

    SoundInput in;
    if (!in.open(job.inputPath, error)) {
        return failure(error);
    }
    OutputFormat format;
    if (!chooseOutputFormat(in.info.format, job.floatOutput, in.info.channels, in.knownFrames(),
                            format, error)) {
        return failure(job.outputPath + ": " + error);
    }
    const std::string settings = settingsLine(values);
    if (!quiet) {
        std::printf("settings: %s\n", settings.c_str());
        std::fflush(stdout);
    }

    LevelTrace trace(in.knownFrames(), in.info.samplerate);
    if (!plotPath.empty()) {
        job.trace = &trace;
    }
    const bool showProgress = !quiet && isatty(STDERR_FILENO) != 0;
    if (showProgress) {
        job.progress = ProgressBar{};
    }

    // A full disk or a file size limit is reported as a failed write, not a killed process.
    std::signal(SIGXFSZ, SIG_IGN);
    cleanUpOnSignals();

    // The sound file and its picture are written beside their targets and replace them together
    // at the end; a failure of either leaves both targets as they were.
    TemporaryFile audioFile, pictureFile;
    RenderResult result;
    const auto start = std::chrono::steady_clock::now();
    bool done = audioFile.create(output, job.outputPath, error) &&
                renderFile(job, in, format, audioFile, result, error);
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (showProgress) {
        std::fprintf(stderr, "\n");
    }
    if (done && !plotPath.empty()) {
        const std::string title =
            "Quorvel Demo: " + (job.inputPath == "-" ? "standard input" : baseName(job.inputPath)) +
            " -> " + baseName(job.outputPath);
        done = pictureFile.create(picture, plotPath, error) &&
               trace.writePng(pictureFile.descriptor(), plotPath, title, settings,
                              result.thresholdLevel, error) &&
               pictureFile.finish(error);
    }
    // The plot's text leaves the font caches filled for the rest of the process: emptied here,
    // so that a leak checker sees a clean exit.
    releaseFontCaches();
    if (done) {
        const CommitWithoutSignals held;
        done = audioFile.commit(error) && (plotPath.empty() || pictureFile.commit(error));
    }
    if (!done) {
        return failure(error);
    }

    if (!quiet) {
        const double seconds = static_cast<double>(result.frames) / result.sampleRate;
        std::printf("wrote %s: %.2f s, %d Hz, %s, %s\n", job.outputPath.c_str(), seconds,
                    result.sampleRate, result.channels == 2 ? "stereo" : "mono",
                    formatName(result.format).c_str());
        if (result.clippedSamples > 0) {
            std::printf("clipped: %lld samples beyond full scale, which this format cannot "
                        "hold (--float keeps them)\n",
                        result.clippedSamples);
        } else {
            std::printf("clipped: none\n");
        }
        if (!plotPath.empty()) {
            std::printf("plot: %s\n", plotPath.c_str());
        }
        std::printf("speed: %.0fx real time (%.2f s of audio in %.3f s)\n",
                    elapsed > 0.0 ? seconds / elapsed : INFINITY, seconds, elapsed);
    }
    return 0;
}
