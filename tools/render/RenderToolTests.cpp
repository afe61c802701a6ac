// The render tool end to end: the example is written at run time, rendered through the
// plug-in module loaded as a host loads it, and the result compared with the reference.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sndfile.h>
#include <string>

#include "tests/audio/Reference.h"
#include "tools/render/ExampleSignal.h"
#include "tools/render/WavFile.h"

namespace {

const std::string kWorkDir = QUORVEL_RENDER_WORK_DIR;

int runTool(const std::string& arguments) {
    const std::string command = std::string("\"") + QUORVEL_RENDER_TOOL + "\" " + arguments;
    return std::system(command.c_str());
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

} // namespace

TEST(RenderExample, IsDeterministicSixSecondsOfStereo) {
    const std::string first = kWorkDir + "/example-a.wav";
    const std::string second = kWorkDir + "/example-b.wav";
    ASSERT_EQ(0, runTool("--make-example " + quoted(first)));
    ASSERT_EQ(0, runTool("--make-example " + quoted(second)));
    const std::string bytes = contentsOf(first);
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, contentsOf(second));

    StereoAudio audio;
    std::string error;
    ASSERT_TRUE(readAudioFile(first, audio, error)) << error;
    EXPECT_EQ(44100, audio.sampleRate);
    EXPECT_EQ(6u * 44100u, audio.frames());
    // Bursts well above the default threshold (0.256), a bed below it, nothing clipped.
    float peak = 0.0f;
    for (std::size_t k = 0; k < audio.frames(); ++k) {
        peak = std::fmax(peak, std::fmax(std::fabs(audio.left[k]), std::fabs(audio.right[k])));
    }
    EXPECT_GT(peak, 0.6f);
    EXPECT_LT(peak, 1.0f);
}

TEST(RenderTool, ProcessesTheExampleThroughTheModule) {
    const std::string input = kWorkDir + "/example.wav";
    const std::string output = kWorkDir + "/example-rendered.wav";
    std::remove(output.c_str());
    ASSERT_EQ(0, runTool("--make-example " + quoted(input)));
    ASSERT_EQ(0,
              runTool(quoted(QUORVEL_PLUGIN_MODULE) + " " + quoted(input) + " " + quoted(output)));

    SF_INFO info{};
    SNDFILE* file = sf_open(output.c_str(), SFM_READ, &info);
    ASSERT_NE(nullptr, file) << "no output file";
    sf_close(file);
    EXPECT_EQ(SF_FORMAT_WAV | SF_FORMAT_FLOAT, info.format);
    EXPECT_EQ(2, info.channels);

    StereoAudio dry, wet;
    std::string error;
    ASSERT_TRUE(readAudioFile(input, dry, error)) << error;
    ASSERT_TRUE(readAudioFile(output, wet, error)) << error;
    ASSERT_EQ(dry.frames(), wet.frames());
    EXPECT_EQ(dry.sampleRate, wet.sampleRate);
    EXPECT_NE(dry.left, wet.left);
    EXPECT_NE(dry.right, wet.right);

    // The same audio through the reference, in the tool's blocks of 512 at the file's rate.
    reference::EffectState state;
    state.sampleRate = static_cast<float>(dry.sampleRate);
    std::vector<float> outLeft(512), outRight(512);
    for (std::size_t start = 0; start < dry.frames(); start += 512) {
        const auto frames =
            static_cast<std::int32_t>(std::min<std::size_t>(512, dry.frames() - start));
        float* inputs[2] = {dry.left.data() + start, dry.right.data() + start};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        reference::processBlock(state, inputs, outputs, frames, true);
    }
    for (std::size_t k = 0; k < dry.frames(); ++k) {
        ASSERT_EQ(dry.left[k], wet.left[k]) << "frame " << k;
        ASSERT_EQ(dry.right[k], wet.right[k]) << "frame " << k;
    }
}

TEST(RenderTool, RefusesWhatItCannotLoad) {
    const std::string input = kWorkDir + "/example-c.wav";
    const std::string output = kWorkDir + "/never-written.wav";
    std::remove(output.c_str());
    ASSERT_EQ(0, runTool("--make-example " + quoted(input)));
    EXPECT_NE(0, runTool(quoted(kWorkDir + "/no-such-module.so") + " " + quoted(input) + " " +
                         quoted(output)));
    EXPECT_NE(0, runTool(quoted(QUORVEL_PLUGIN_MODULE) + " " + quoted(kWorkDir + "/missing.wav") +
                         " " + quoted(output)));
    EXPECT_FALSE(std::ifstream(output).good());
    EXPECT_NE(0, runTool("--make-example"));
}
