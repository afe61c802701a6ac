#include "tools/render/WavFile.h"

#include <sndfile.h>

bool readAudioFile(const std::string& path, StereoAudio& audio, std::string& error) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.channels > 2) {
        error = path + ": " + std::to_string(info.channels) + " channels (1 or 2 expected)";
        sf_close(file);
        return false;
    }
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames) * info.channels);
    const sf_count_t read = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    if (read != info.frames) {
        error = path + ": short read";
        return false;
    }
    audio.sampleRate = info.samplerate;
    audio.left.resize(static_cast<std::size_t>(read));
    audio.right.resize(static_cast<std::size_t>(read));
    for (std::size_t k = 0; k < audio.left.size(); ++k) {
        audio.left[k] = interleaved[k * info.channels];
        audio.right[k] = interleaved[k * info.channels + (info.channels - 1)];
    }
    return true;
}
