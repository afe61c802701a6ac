// Stereo audio files through libsndfile: any format it reads in, WAV out.
#pragma once

#include <string>
#include <vector>

struct StereoAudio {
    int sampleRate = 44100;
    std::vector<float> left;
    std::vector<float> right;

    std::size_t frames() const { return left.size(); }
};

enum class WavEncoding { Pcm24, Float32 };

// Reads a mono or stereo file as 32-bit float samples (a mono file feeds both channels).
// Returns false and sets `error` if the file cannot be read or has more than two channels.
bool readAudioFile(const std::string& path, StereoAudio& audio, std::string& error);

// Writes a two-channel WAV file. PCM samples beyond full scale are clipped.
bool writeWavFile(const std::string& path, const StereoAudio& audio, WavEncoding encoding,
                  std::string& error);
