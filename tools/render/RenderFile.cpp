#include "tools/render/RenderFile.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include "plugin/CompressorEffect.h"

namespace {

// Large reads and writes: libsndfile converts whole chunks, and the effect sees host blocks
// inside them.
constexpr int kChunkFrames = 32768;

// The temporary output in progress, for the signal handler.
char temporaryPath[PATH_MAX + 64];
volatile std::sig_atomic_t temporaryActive = 0;

void onSignal(int signal) {
    if (temporaryActive != 0) {
        unlink(temporaryPath);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

// The host side of the conversation: the effect asks only for the host's version.
VstIntPtr VST_CALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

VstIntPtr dispatch(AEffect* record, VstInt32 opcode, VstIntPtr value = 0, float opt = 0.0f) {
    return record->dispatcher(record, opcode, 0, value, nullptr, opt);
}

// The effect, opened and finally closed through its record; the object is the program's own,
// so the engine's gain is read from it directly.
class Effect {
public:
    Effect() : object(new CompressorEffect(&hostCallback)), record(object->getAeffect()) {
        dispatch(record, effOpen);
    }
    ~Effect() { dispatch(record, effClose); } // deletes the object
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    CompressorEffect* const object;
    AEffect* const record;
};

struct SoundFile {
    SNDFILE* file = nullptr;
    ~SoundFile() {
        if (file != nullptr) {
            sf_close(file);
        }
    }
};

// The temporary file beside the output: removed unless committed.
class TemporaryOutput {
public:
    ~TemporaryOutput() {
        if (temporaryActive != 0) {
            unlink(temporaryPath);
            temporaryActive = 0;
        }
    }

    int create(const std::string& outputPath, std::string& error) {
        const std::size_t slash = outputPath.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : outputPath.substr(0, slash);
        const std::string name =
            slash == std::string::npos ? outputPath : outputPath.substr(slash + 1);
        const std::string pattern = folder + "/." + name + ".XXXXXX";
        if (pattern.size() >= sizeof temporaryPath) {
            error = outputPath + ": path too long";
            return -1;
        }
        std::memcpy(temporaryPath, pattern.c_str(), pattern.size() + 1);
        const int fd = mkstemp(temporaryPath);
        if (fd < 0) {
            error = outputPath + ": cannot write in " + folder + ": " + std::strerror(errno);
            return -1;
        }
        temporaryActive = 1;
        // The permissions a plainly created file gets, not mkstemp's private ones.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);
        return fd;
    }

    bool commit(const std::string& outputPath, std::string& error) {
        if (rename(temporaryPath, outputPath.c_str()) != 0) {
            error = outputPath + ": " + std::strerror(errno);
            return false;
        }
        temporaryActive = 0;
        return true;
    }
};

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first, second;
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

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
    if (stat(path.c_str(), &status) != 0) {
        return path + ": " + std::strerror(errno);
    }
    if (S_ISDIR(status.st_mode)) {
        return path + ": is a folder";
    }
    return path + ": " + sf_strerror(nullptr);
}

} // namespace

bool probeAudioFile(const std::string& path, long long& frames, int& sampleRate,
                    std::string& error) {
    SF_INFO info{};
    SoundFile in;
    in.file = sf_open(path.c_str(), SFM_READ, &info);
    if (in.file == nullptr) {
        error = readFailure(path);
        return false;
    }
    frames = info.frames;
    sampleRate = info.samplerate;
    return true;
}

bool renderFile(const RenderJob& job, RenderResult& result, std::string& error) {
    if (job.blockSize < 1 || job.blockSize > kLargestBlockSize) {
        error = "block size " + std::to_string(job.blockSize) + " is outside 1 to " +
                std::to_string(kLargestBlockSize);
        return false;
    }
    SF_INFO info{};
    SoundFile in;
    in.file = sf_open(job.inputPath.c_str(), SFM_READ, &info);
    if (in.file == nullptr) {
        error = readFailure(job.inputPath);
        return false;
    }
    if (info.channels < 1 || info.channels > 2) {
        error = job.inputPath + ": " + std::to_string(info.channels) +
                " channels; only mono and stereo files can be processed";
        return false;
    }
    if (sameFile(job.inputPath, job.outputPath)) {
        error = job.outputPath + ": the output would overwrite the input";
        return false;
    }

    SF_INFO outInfo{};
    outInfo.samplerate = info.samplerate;
    outInfo.channels = info.channels;
    outInfo.format =
        job.floatOutput ? (info.format & SF_FORMAT_TYPEMASK) | SF_FORMAT_FLOAT : info.format;
    if (sf_format_check(&outInfo) == 0) {
        SF_FORMAT_INFO type{};
        type.format = info.format & SF_FORMAT_TYPEMASK;
        sf_command(nullptr, SFC_GET_FORMAT_INFO, &type, sizeof type);
        error = job.outputPath + ": " + (type.name ? type.name : "this type of") +
                " files cannot hold " +
                (job.floatOutput ? "32-bit float samples" : "the input's samples");
        return false;
    }

    TemporaryOutput temporary;
    const int fd = temporary.create(job.outputPath, error);
    if (fd < 0) {
        return false;
    }
    SoundFile out;
    out.file = sf_open_fd(fd, SFM_WRITE, &outInfo, SF_TRUE);
    if (out.file == nullptr) {
        close(fd);
        error = job.outputPath + ": " + sf_strerror(nullptr);
        return false;
    }

    // A mono file is passed as a mono host passes it: one buffer for both channels.
    const bool stereo = info.channels == 2;
    const int chunk = std::max(job.blockSize, kChunkFrames / job.blockSize * job.blockSize);
    std::vector<float> interleaved(static_cast<std::size_t>(chunk) * 2);
    std::vector<float> inLeft(chunk), inRight(stereo ? chunk : 0), outLeft(chunk),
        outRight(stereo ? chunk : 0);

    Effect effect;
    AEffect* record = effect.record;
    for (int i = 0; i < kParameterCount; ++i) {
        effect.object->setParameterValue(i, job.parameters[i]);
    }
    dispatch(record, effSetSampleRate, 0, static_cast<float>(info.samplerate));
    dispatch(record, effSetBlockSize, job.blockSize);
    dispatch(record, effMainsChanged, 1);

    const bool clip = !holdsBeyondFullScale(outInfo.format);
    long long done = 0;
    for (;;) {
        sf_count_t got = 0;
        while (got < chunk) {
            const sf_count_t read =
                sf_readf_float(in.file, interleaved.data() + got * info.channels, chunk - got);
            if (read <= 0) {
                break;
            }
            got += read;
        }
        if (sf_error(in.file) != SF_ERR_NO_ERROR) {
            error = job.inputPath + ": " + sf_strerror(in.file);
            return false;
        }
        if (got == 0) {
            break;
        }
        const int frames = static_cast<int>(got);

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
            record->processReplacing(record, inputs, outputs, count);
            if (job.trace != nullptr) {
                job.trace->addGain(done + start + count, effect.object->engine.smoothedGain.load(
                                                             std::memory_order_relaxed));
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
        if (job.progress && info.frames > 0) {
            job.progress(std::min(1.0, static_cast<double>(done) / info.frames));
        }
        if (frames < chunk) {
            break;
        }
    }
    dispatch(record, effMainsChanged, 0);
    result.thresholdLevel = effect.object->engine.thresholdLevel.load(std::memory_order_relaxed);

    errno = 0;
    const int closed = sf_close(out.file);
    out.file = nullptr;
    if (closed != 0) {
        error = writeFailure(job.outputPath, nullptr);
        return false;
    }
    if (!temporary.commit(job.outputPath, error)) {
        return false;
    }
    result.frames = done;
    result.sampleRate = info.samplerate;
    result.channels = info.channels;
    result.format = outInfo.format;
    return true;
}

void removeTemporaryFileOnSignals() {
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        std::signal(signal, &onSignal);
    }
}
