#include "tools/render/RenderFile.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/CompressorCore.h"
#include "tools/render/OutputFiles.h"

namespace {

// Large reads and writes: libsndfile converts whole chunks, and the effect sees host blocks
// inside them.
constexpr int kChunkFrames = 32768;
// The output goes to disk as it is written, a few megabytes at a time.
constexpr int kChunksPerWriteBack = 16;

struct SoundFile {
    SNDFILE* file = nullptr;
    ~SoundFile() {
        if (file != nullptr) {
            sf_close(file);
        }
    }
};

// Formats whose samples hold values beyond full scale; all others are clipped to it.
bool holdsBeyondFullScale(int format) {
    const int subtype = format & SF_FORMAT_SUBMASK;
    return subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE ||
           subtype == SF_FORMAT_VORBIS || subtype == SF_FORMAT_OPUS;
}

// Clips to -1..1 (NaN to 0) and returns how many samples it changed.
long long clipToFullScale(float* samples, std::size_t count) {
    // Counted first in a loop the compiler vectorises; most chunks have nothing to clip.
    long long clipped = 0;
    for (std::size_t i = 0; i < count; ++i) {
        clipped += !(std::fabs(samples[i]) <= 1.0f);
    }
    if (clipped == 0) {
        return 0;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const float x = samples[i];
        if (!(std::fabs(x) <= 1.0f)) {
            samples[i] = std::isnan(x) ? 0.0f : std::copysign(1.0f, x);
        }
    }
    return clipped;
}

std::string writeFailure(const std::string& path, SNDFILE* file) {
    const int code = errno;
    return path + ": write failed: " + (code != 0 ? std::strerror(code) : sf_strerror(file));
}

// Why a file cannot be read: the system's reason when there is one (missing, no permission),
// otherwise libsndfile's (not a sound file it knows).
std::string readFailure(const std::string& path) {
    struct stat status;
    if (path == "-") {
        return "standard input: " + std::string(sf_strerror(nullptr));
    }
    if (stat(path.c_str(), &status) != 0) {
        return path + ": " + std::strerror(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return path + ": is a folder";
    }
    return path + ": " + sf_strerror(nullptr);
}

// Types whose size fields have 32 bits: the data and the header must stay under 4 GiB.
bool hasThirtyTwoBitSizes(int type) {
    return type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX || type == SF_FORMAT_AIFF ||
           type == SF_FORMAT_AU;
}

// The largest sample of an uncompressed subtype in bytes; 0 for compressed ones (their size
// does not follow from the length).
int bytesPerSample(int subtype) {
    switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW:
        return 1;
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT:
        return 4;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 0;
    }
}

std::string typeName(int format) {
    SF_FORMAT_INFO type{};
    type.format = format & SF_FORMAT_TYPEMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &type, sizeof type);
    return type.name ? type.name : "this type of";
}

} // namespace

SoundInput::~SoundInput() {
    if (file != nullptr) {
        sf_close(file);
    }
}

bool SoundInput::open(const std::string& path, std::string& error) {
    info = SF_INFO{};
    file = path == "-" ? sf_open_fd(STDIN_FILENO, SFM_READ, &info, SF_FALSE)
                       : sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error = readFailure(path);
        return false;
    }
    if (info.channels < 1 || info.channels > 2) {
        error = path + ": " + std::to_string(info.channels) +
                " channels; only mono and stereo files can be processed";
        return false;
    }
    return true;
}

long long SoundInput::knownFrames() const {
    return info.seekable != 0 && info.frames >= 0 && info.frames < SF_COUNT_MAX ? info.frames : -1;
}

bool chooseOutputFormat(int inputFormat, bool floatOutput, int channels, long long frames,
                        OutputFormat& chosen, std::string& error) {
    chosen = OutputFormat{};
    chosen.format =
        floatOutput ? (inputFormat & SF_FORMAT_TYPEMASK) | SF_FORMAT_FLOAT : inputFormat;
    SF_INFO check{};
    check.samplerate = 44100;
    check.channels = channels;
    check.format = chosen.format;
    if (sf_format_check(&check) == 0) {
        error = typeName(inputFormat) + " files cannot hold " +
                (floatOutput ? "32-bit float samples" : "the input's samples");
        return false;
    }
    const int type = chosen.format & SF_FORMAT_TYPEMASK;
    const int frameBytes = bytesPerSample(chosen.format & SF_FORMAT_SUBMASK) * channels;
    if (!hasThirtyTwoBitSizes(type) || frameBytes == 0) {
        return true;
    }
    // Room for the header and the chunks libsndfile adds after the data.
    constexpr long long kLargestBytes = 0xFFFFFFFFLL - 65536;
    const long long largest = kLargestBytes / frameBytes;
    const bool wav = type == SF_FORMAT_WAV || type == SF_FORMAT_WAVEX;
    if (wav && (frames < 0 || frames > largest)) {
        chosen.format = SF_FORMAT_RF64 | (chosen.format & SF_FORMAT_SUBMASK);
        chosen.downgradeWhenShort = frames < 0;
        return true;
    }
    if (frames > largest) {
        char size[32];
        std::snprintf(size, sizeof size, "%.1f GiB",
                      static_cast<double>(frames) * frameBytes / (1024.0 * 1024.0 * 1024.0));
        error = std::to_string(frames) + " frames come to " + size + ", more than " +
                typeName(type) +
                " files hold (4 GiB); CAF, W64 and RF64 files hold any length, and a WAV input "
                "is written as RF64";
        return false;
    }
    chosen.largestFrames = largest;
    return true;
}

bool renderFile(const RenderJob& job, SoundInput& input, const OutputFormat& format,
                TemporaryFile& output, RenderResult& result, std::string& error) {
    if (job.blockSize < 1 || job.blockSize > kLargestBlockSize) {
        error = "block size " + std::to_string(job.blockSize) + " is outside 1 to " +
                std::to_string(kLargestBlockSize);
        return false;
    }
    const SF_INFO& info = input.info;
    SF_INFO outInfo{};
    outInfo.samplerate = info.samplerate;
    outInfo.channels = info.channels;
    outInfo.format = format.format;
    SoundFile out;
    out.file = sf_open_fd(output.descriptor(), SFM_WRITE, &outInfo, SF_FALSE);
    if (out.file == nullptr) {
        error = job.outputPath + ": " + sf_strerror(nullptr);
        return false;
    }
    if (format.downgradeWhenShort) {
        sf_command(out.file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    }
    // A mono file is passed as a mono host passes it: one buffer for both channels.
    const bool stereo = info.channels == 2;
    const int chunk = std::max(job.blockSize, kChunkFrames / job.blockSize * job.blockSize);
    std::vector<float> interleaved(static_cast<std::size_t>(chunk) * 2);
    std::vector<float> inLeft(chunk), inRight(stereo ? chunk : 0), outLeft(chunk),
        outRight(stereo ? chunk : 0);

    // The processor the plug-in wraps, fed the blocks a host would send it.
    const auto core = std::make_unique<CompressorCore>();
    for (int i = 0; i < kParameterCount; ++i) {
        core->setParameterValue(i, job.parameters[i]);
    }
    const auto rate = static_cast<float>(info.samplerate);

    // Clipped here to count the samples. Full scale then becomes the positive maximum in every
    // integer format but 32-bit, where libsndfile's conversion wraps it to the negative one
    // unless its own clipping is on. Only there: in the other formats that clipping scales by
    // 2^(bits-1) instead of 2^(bits-1) - 1, which would change every sample.
    const bool clip = !holdsBeyondFullScale(outInfo.format);
    if ((outInfo.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_32) {
        sf_command(out.file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }
    long long done = 0;
    long long chunksWritten = 0;
    for (;;) {
        sf_count_t got = 0;
        while (got < chunk) {
            const sf_count_t read =
                sf_readf_float(input.file, interleaved.data() + got * info.channels, chunk - got);
            if (read <= 0) {
                break;
            }
            got += read;
        }
        if (sf_error(input.file) != SF_ERR_NO_ERROR) {
            error = job.inputPath + ": " + sf_strerror(input.file);
            return false;
        }
        if (got == 0) {
            break;
        }
        const int frames = static_cast<int>(got);
        if (format.largestFrames >= 0 && done + frames > format.largestFrames) {
            error = job.outputPath + ": the input is longer than " + typeName(outInfo.format) +
                    " files can hold (4 GiB); CAF, W64 and RF64 files hold any length";
            return false;
        }

        if (stereo) {
            for (int k = 0; k < frames; ++k) {
                inLeft[k] = interleaved[2 * k];
                inRight[k] = interleaved[2 * k + 1];
            }
        } else {
            std::copy_n(interleaved.begin(), frames, inLeft.begin());
        }
        float* const right = stereo ? inRight.data() : inLeft.data();
        float* const outRightChannel = stereo ? outRight.data() : outLeft.data();
        if (job.trace != nullptr) {
            job.trace->addInput(inLeft.data(), stereo ? right : nullptr, done, frames);
        }

        for (int start = 0; start < frames; start += job.blockSize) {
            const int count = std::min(job.blockSize, frames - start);
            float* inputs[2] = {inLeft.data() + start, right + start};
            float* outputs[2] = {outLeft.data() + start, outRightChannel + start};
            core->processBlock(inputs, outputs, count, rate, true);
            if (job.trace != nullptr) {
                job.trace->addGain(done + start + count,
                                   core->engine.smoothedGain.load(std::memory_order_relaxed));
            }
        }

        if (job.trace != nullptr) {
            job.trace->addOutput(outLeft.data(), stereo ? outRightChannel : nullptr, done, frames);
        }
        if (stereo) {
            for (int k = 0; k < frames; ++k) {
                interleaved[2 * k] = outLeft[k];
                interleaved[2 * k + 1] = outRight[k];
            }
        } else {
            std::copy_n(outLeft.begin(), frames, interleaved.begin());
        }
        const std::size_t samples = static_cast<std::size_t>(frames) * info.channels;
        if (clip) {
            result.clippedSamples += clipToFullScale(interleaved.data(), samples);
        }
        errno = 0;
        if (sf_writef_float(out.file, interleaved.data(), frames) != frames) {
            error = writeFailure(job.outputPath, out.file);
            return false;
        }
        done += frames;
        if (++chunksWritten % kChunksPerWriteBack == 0) {
            output.startWriteBack();
        }
        if (job.progress && input.knownFrames() > 0) {
            job.progress(std::min(1.0, static_cast<double>(done) / info.frames));
        }
        if (frames < chunk) {
            break;
        }
    }
    result.thresholdLevel = core->engine.thresholdLevel.load(std::memory_order_relaxed);

    errno = 0;
    const int closed = sf_close(out.file);
    out.file = nullptr;
    if (closed != 0) {
        error = writeFailure(job.outputPath, nullptr);
        return false;
    }
    if (!output.finish(error)) {
        return false;
    }
    result.frames = done;
    result.sampleRate = info.samplerate;
    result.channels = info.channels;
    result.format = outInfo.format;
    if (format.downgradeWhenShort) { // as written: plain WAV if it stayed short
        OutputFormat written;
        std::string unused;
        chooseOutputFormat(SF_FORMAT_WAV | (outInfo.format & SF_FORMAT_SUBMASK), false,
                           info.channels, done, written, unused);
        result.format = written.format;
    }
    return true;
}
