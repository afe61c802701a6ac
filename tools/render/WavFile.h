// Stereo audio files read through libsndfile, in any format it reads.
#pragma once

#include <string>
#include <vector>

struct StereoAudio {
    int sampleRate = 44100;
    std::vector<float> left;
    std::vector<float> right;

    std::size_t frames() const { return left.size(); }
};

// Reads a mono or stereo file as 32-bit float samples (a mono file feeds both channels).
// Returns false and sets `error` if the file cannot be read or has more than two channels.
bool readAudioFile(const std::string& path, StereoAudio& audio, std::string& error);
