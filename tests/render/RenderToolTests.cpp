// The render tool end to end: the example written at run time, rendered with settings chosen by
// option, compared with the reference of the audio path and with the plug-in module loaded as a
// host loads it; the settings mapping, the refusals and the picture.
#include <cairo.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/audio/Reference.h"
#include "tests/support/PluginModule.h"
#include "tests/support/TestHost.h"
#include "tools/render/ExampleSignal.h"
#include "tools/render/RenderFile.h"
#include "tools/render/RenderPlot.h"
#include "tools/render/RenderSettings.h"
#include "tools/render/WavFile.h"

namespace {

const std::string kWorkDir = QUORVEL_RENDER_WORK_DIR;

struct ToolRun {
    int status;
    std::string output; // standard output and standard error
};

// Runs the tool through the shell; `prefix` may set limits for it first.
ToolRun runTool(const std::string& arguments, const std::string& prefix = "") {
    const std::string command = prefix + "\"" + QUORVEL_RENDER_TOOL + "\" " + arguments + " 2>&1";
    ToolRun run{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        run.output.append(buffer, got);
    }
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.insert(name);
            }
        }
        closedir(dir);
    }
    return names;
}

// A fresh folder holding only the example (24-bit stereo WAV).
std::string freshFolderWithExample(const std::string& name) {
    const std::string folder = kWorkDir + "/" + name;
    std::system(("rm -rf " + quoted(folder) + " && mkdir -p " + quoted(folder)).c_str());
    const ToolRun made = runTool("--make-example " + quoted(folder + "/example.wav"));
    EXPECT_EQ(0, made.status) << made.output;
    return folder;
}

bool writeSoundFile(const std::string& path, const std::vector<float>& interleaved, int channels,
                    int format) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const sf_count_t frames = static_cast<sf_count_t>(interleaved.size()) / channels;
    const bool written = sf_writef_float(file, interleaved.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

SF_INFO infoOf(const std::string& path) {
    SF_INFO info{};
    if (SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info)) {
        sf_close(file);
    }
    return info;
}

// The reference of the audio path over a whole file, in host blocks of `blockSize` frames; a
// mono file as a mono host passes it (one buffer for both channels).
StereoAudio referenceRender(StereoAudio audio, const float (&parameters)[kParameterCount],
                            int blockSize, bool mono) {
    reference::EffectState state;
    std::copy(parameters, parameters + kParameterCount, state.parameters);
    state.sampleRate = static_cast<float>(audio.sampleRate);
    std::vector<float> outLeft(blockSize), outRight(blockSize);
    for (std::size_t start = 0; start < audio.frames(); start += blockSize) {
        const auto frames =
            static_cast<std::int32_t>(std::min<std::size_t>(blockSize, audio.frames() - start));
        float* left = audio.left.data() + start;
        float* inputs[2] = {left, mono ? left : audio.right.data() + start};
        float* outputs[2] = {outLeft.data(), mono ? outLeft.data() : outRight.data()};
        reference::processBlock(state, inputs, outputs, frames, true);
        std::copy_n(outputs[0], frames, audio.left.begin() + start);
        std::copy_n(outputs[1], frames, audio.right.begin() + start);
    }
    return audio;
}

void expectSameSamples(const StereoAudio& expected, const StereoAudio& actual) {
    ASSERT_EQ(expected.frames(), actual.frames());
    for (std::size_t k = 0; k < expected.frames(); ++k) {
        ASSERT_EQ(expected.left[k], actual.left[k]) << "frame " << k;
        ASSERT_EQ(expected.right[k], actual.right[k]) << "frame " << k;
    }
}

StereoAudio readOrFail(const std::string& path) {
    StereoAudio audio;
    std::string error;
    EXPECT_TRUE(readAudioFile(path, audio, error)) << error;
    return audio;
}

// The file's samples interleaved, left first, as a stereo file holds them.
std::vector<float> interleavedOf(const std::string& path) {
    const StereoAudio audio = readOrFail(path);
    std::vector<float> samples;
    for (std::size_t k = 0; k < audio.frames(); ++k) {
        samples.push_back(audio.left[k]);
        samples.push_back(audio.right[k]);
    }
    return samples;
}

constexpr float kDefaults[kParameterCount] = {0.5f, 0.5f,  0.18f, 0.23f, 1.0f,
                                              0.0f, 0.63f, 1.0f,  0.0f,  0.0f};

} // namespace

TEST(RenderExample, IsDeterministicSixSecondsOfStereo) {
    const std::string first = kWorkDir + "/example-a.wav";
    const std::string second = kWorkDir + "/example-b.wav";
    ASSERT_EQ(0, runTool("--make-example " + quoted(first)).status);
    ASSERT_EQ(0, runTool("--make-example " + quoted(second)).status);
    const std::string bytes = contentsOf(first);
    EXPECT_FALSE(bytes.empty());
    EXPECT_EQ(bytes, contentsOf(second));

    const StereoAudio audio = readOrFail(first);
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

// Settings chosen by option, stereo and mono, in host blocks of several sizes: the output has
// the reference's bits, and the tool prints the settings it used in the panel's format.
TEST(RenderTool, EqualsTheReferenceForSettingsChosenByOption) {
    struct Case {
        const char* options;
        bool mono;
        int blockSize;
        float parameters[kParameterCount];
        const char* settings;
    };
    const Case cases[] = {
        {"",
         false,
         512,
         {0.5f, 0.5f, 0.18f, 0.23f, 1.0f, 0.0f, 0.63f, 1.0f, 0.0f, 0.0f},
         "Thr -11.8 dB | Rat 5.8:1 | Atk 6.6 ms | Rls 206 ms | Dph 0% | Out 5.2 dB | Softclip"},
        {"--threshold -20 --ratio 8 --attack 1 --release 500 --depth 25 --output 0 "
         "--softclip off --block 64",
         false,
         64,
         {0.30f, 0.61f, 0.07f, 0.39f, 1.0f, 0.0f, 0.5f, 0.0f, 0.25f, 0.0f},
         "Thr -20.1 dB | Rat 8.1:1 | Atk 1.1 ms | Rls 499 ms | Dph 25% | Out 0.0 dB | Normal"},
        {"--threshold=-30 --limiter --auto-gain --block 1000",
         true,
         1000,
         {0.15f, 0.5f, 0.18f, 0.23f, 1.0f, 1.0f, 0.63f, 1.0f, 0.0f, 1.0f},
         "Thr -29.9 dB | Limiter | Atk 6.6 ms | Rls 206 ms | Dph 0% | Auto Make-Up | Softclip"},
        {"--attack 10 --release 1000 --output -6 --block 1",
         false,
         1,
         {0.5f, 0.5f, 0.22f, 0.57f, 1.0f, 0.0f, 0.35f, 1.0f, 0.0f, 0.0f},
         "Thr -11.8 dB | Rat 5.8:1 | Atk 9.8 ms | Rls 1008 ms | Dph 0% | Out -6.0 dB | Softclip"},
    };
    const std::string folder = freshFolderWithExample("reference");
    const StereoAudio example = readOrFail(folder + "/example.wav");
    std::vector<float> monoSamples(example.left);
    ASSERT_TRUE(
        writeSoundFile(folder + "/mono.wav", monoSamples, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    StereoAudio monoExample = example;
    monoExample.right = monoExample.left;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        const std::string input = folder + (c.mono ? "/mono.wav" : "/example.wav");
        const std::string output = folder + "/rendered.wav";
        const ToolRun run = runTool(quoted(input) + " " + quoted(output) + " --float " + c.options);
        ASSERT_EQ(0, run.status) << run.output;
        EXPECT_NE(std::string::npos, run.output.find(std::string("settings: ") + c.settings))
            << run.output;
        EXPECT_NE(std::string::npos, run.output.find("x real time")) << run.output;

        const SF_INFO info = infoOf(output);
        EXPECT_EQ(SF_FORMAT_WAV | SF_FORMAT_FLOAT, info.format);
        EXPECT_EQ(c.mono ? 1 : 2, info.channels);
        expectSameSamples(
            referenceRender(c.mono ? monoExample : example, c.parameters, c.blockSize, c.mono),
            readOrFail(output));
    }
}

// The shared object as a host loads it (dlopen, exported entry, processReplacing in blocks of
// 300) gives the bits the tool writes at the defaults, the only settings a host can give it.
TEST(RenderTool, EqualsTheModuleLoadedAsAHostLoadsIt) {
    const std::string folder = freshFolderWithExample("module");
    const ToolRun run = runTool(quoted(folder + "/example.wav") + " " +
                                quoted(folder + "/rendered.wav") + " --float --quiet");
    ASSERT_EQ(0, run.status) << run.output;
    EXPECT_EQ("", run.output);

    StereoAudio audio = readOrFail(folder + "/example.wav");
    PluginModule module;
    std::string error;
    AEffect* effect = module.load(QUORVEL_PLUGIN_MODULE, &test_host::versionOnlyCallback, error);
    ASSERT_NE(nullptr, effect) << error;
    const auto dispatch = [effect](VstInt32 opcode, VstIntPtr value, float opt) {
        return effect->dispatcher(effect, opcode, 0, value, nullptr, opt);
    };
    constexpr int kBlock = 300;
    dispatch(effOpen, 0, 0.0f);
    dispatch(effSetSampleRate, 0, static_cast<float>(audio.sampleRate));
    dispatch(effSetBlockSize, kBlock, 0.0f);
    dispatch(effMainsChanged, 1, 0.0f);
    std::vector<float> inLeft(kBlock), inRight(kBlock), outLeft(kBlock), outRight(kBlock);
    for (std::size_t start = 0; start < audio.frames(); start += kBlock) {
        const auto frames = static_cast<int>(std::min<std::size_t>(kBlock, audio.frames() - start));
        std::copy_n(audio.left.begin() + start, frames, inLeft.begin());
        std::copy_n(audio.right.begin() + start, frames, inRight.begin());
        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, frames);
        std::copy_n(outLeft.begin(), frames, audio.left.begin() + start);
        std::copy_n(outRight.begin(), frames, audio.right.begin() + start);
    }
    dispatch(effMainsChanged, 0, 0.0f);
    dispatch(effClose, 0, 0.0f);
    expectSameSamples(audio, readOrFail(folder + "/rendered.wav"));
}

// Each knob's value is the editor position (n x 0.01) whose panel reading is nearest; the
// range is the panel's from one end to the other, give or take half a shown digit.
TEST(RenderSettings, PicksTheNearestEditorPositionWithinTheRange) {
    struct Case {
        int option; // index into kKnobOptions
        double asked;
        float position;
    };
    const Case reachable[] = {
        {0, -12.0, 0.49f}, {0, -11.8, 0.5f},   {0, -40.0, 0.0f}, {0, 0.0, 1.0f},   {1, 4.0, 0.40f},
        {2, 10.0, 0.22f},  {3, 1000.0, 0.57f}, {4, 50.0, 0.5f},  {5, -6.0, 0.35f}, {5, 20.0, 1.0f},
    };
    for (const Case& c : reachable) {
        SCOPED_TRACE(std::string(kKnobOptions[c.option].name) + " " + std::to_string(c.asked));
        float position = -1.0f;
        std::string error;
        EXPECT_TRUE(nearestKnobPosition(kKnobOptions[c.option], c.asked, position, error)) << error;
        EXPECT_EQ(c.position, position);
    }

    const struct {
        int option;
        double asked;
        const char* message;
    } refused[] = {
        {0, -40.1, "--threshold -40.1 is outside the reachable range -40.0 dB to -0.0 dB"},
        {1, 20.1, "--ratio 20.1 is outside the reachable range 1.0:1 to 20.0:1"},
        {2, 0.04, "--attack 0.04 is outside the reachable range 0.1 ms to 200.0 ms"},
        {4, -1.0, "--depth -1 is outside the reachable range 0% to 100%"},
    };
    for (const auto& c : refused) {
        float position = -1.0f;
        std::string error;
        EXPECT_FALSE(nearestKnobPosition(kKnobOptions[c.option], c.asked, position, error));
        EXPECT_EQ(c.message, error);
    }
}

// Every bad input: its message, a non-zero exit, and no file left behind (nor a temporary one).
// Outputs that are not regular files and clashes between input, output and picture are refused;
// a render stopped by a signal removes its temporary file.
TEST(RenderTool, RefusesBadInputsAndLeavesNoFile) {
    const std::string folder = freshFolderWithExample("refusals");
    const std::string example = quoted(folder + "/example.wav");
    std::vector<float> threeChannels(3 * 4410, 0.25f);
    ASSERT_TRUE(writeSoundFile(folder + "/surround.wav", threeChannels, 3,
                               SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    std::ofstream(folder + "/notes.wav") << "not a sound file\n";
    const std::vector<float> interleaved = interleavedOf(folder + "/example.wav");
    ASSERT_TRUE(writeSoundFile(folder + "/example.flac", interleaved, 2,
                               SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    ASSERT_EQ(0, std::system(("mkfifo " + quoted(folder + "/fifo.wav")).c_str()));
    const std::set<std::string> before = filesIn(folder);
    const std::string original = contentsOf(folder + "/example.wav");
    const std::string output = quoted(folder + "/out.wav");
    // The example on standard input, which then stays open: the render waits for the rest.
    const std::string slowInput = "(cat " + example + "; sleep 3) | ";

    const struct {
        std::string arguments;
        std::string message;
        std::string prefix;
    } cases[] = {
        {quoted(folder + "/surround.wav") + " " + output,
         "3 channels; only mono and stereo files can be processed", ""},
        {quoted(folder + "/missing.wav") + " " + output, "No such file or directory", ""},
        {quoted(folder + "/notes.wav") + " " + output, "Format not recognised", ""},
        {example + " " + quoted(folder + "/./example.wav"), "the output would overwrite the input",
         ""},
        // A file size limit fails the writes as a full disk does.
        {example + " " + output + " --float", "write failed: File too large", "ulimit -f 64; "},
        {example + " " + output + " --ratio 25",
         "--ratio 25 is outside the reachable range 1.0:1 to 20.0:1", ""},
        {quoted(folder + "/example.flac") + " " + quoted(folder + "/out.flac") + " --float",
         "FLAC (Free Lossless Audio Codec) files cannot hold 32-bit float samples", ""},
        {example + " " + quoted(folder + "/fifo.wav"), "is a FIFO; only a regular file", ""},
        {example + " " + quoted(folder), "is a folder; only a regular file", ""},
        {example + " " + output + " --plot " + example, "the picture would overwrite the input",
         ""},
        {example + " " + output + " --plot " + quoted(folder + "/./out.wav"),
         "the picture would overwrite the output", ""},
        {"- " + output + " 2>&1 & sleep 1; kill -TERM $!; wait $!",
         "stopped by SIGTERM; no output written", slowInput},
        // A background command starts with SIGQUIT ignored: given back its default first.
        {"- " + output + " 2>&1 & sleep 1; kill -QUIT $!; wait $!",
         "stopped by SIGQUIT; no output written", slowInput + "env --default-signal=QUIT "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolRun run = runTool(c.arguments, c.prefix);
        EXPECT_NE(0, run.status);
        EXPECT_NE(std::string::npos, run.output.find(c.message)) << run.output;
        EXPECT_EQ(before, filesIn(folder));
    }
    EXPECT_EQ(original, contentsOf(folder + "/example.wav"));
}

// The output keeps the input's format; samples the format cannot hold are clipped and counted.
TEST(RenderTool, KeepsTheFormatAndCountsClippedSamples) {
    const std::string folder = freshFolderWithExample("formats");
    const std::vector<float> interleaved = interleavedOf(folder + "/example.wav");
    // The same 16-bit samples in two file types; FLAC cannot hold float samples, WAV can.
    ASSERT_TRUE(
        writeSoundFile(folder + "/input.flac", interleaved, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
    ASSERT_TRUE(
        writeSoundFile(folder + "/input.wav", interleaved, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const std::string loud = " --softclip off --output 12";
    const ToolRun asFloat = runTool(quoted(folder + "/input.wav") + " " +
                                    quoted(folder + "/float.wav") + " --float" + loud);
    ASSERT_EQ(0, asFloat.status) << asFloat.output;
    EXPECT_NE(std::string::npos, asFloat.output.find("clipped: none")) << asFloat.output;
    const StereoAudio wide = readOrFail(folder + "/float.wav");
    long long beyond = 0;
    for (std::size_t k = 0; k < wide.frames(); ++k) {
        beyond += (std::fabs(wide.left[k]) > 1.0f) + (std::fabs(wide.right[k]) > 1.0f);
    }
    ASSERT_GT(beyond, 0);
    // Renders one file of the folder into another, loud; the summary counts what was clipped.
    const auto renderCountingClips = [&](const std::string& input, const std::string& output) {
        const ToolRun run =
            runTool(quoted(folder + "/" + input) + " " + quoted(folder + "/" + output) + loud);
        ASSERT_EQ(0, run.status) << run.output;
        EXPECT_NE(std::string::npos,
                  run.output.find("clipped: " + std::to_string(beyond) + " samples"))
            << run.output;
    };

    renderCountingClips("input.flac", "output.flac");
    const SF_INFO info = infoOf(folder + "/output.flac");
    EXPECT_EQ(SF_FORMAT_FLAC | SF_FORMAT_PCM_16, info.format);
    EXPECT_EQ(2, info.channels);
    EXPECT_EQ(static_cast<sf_count_t>(interleaved.size() / 2), info.frames);

    // In 32-bit integer files too, every sample beyond full scale lands at the maximum of its
    // sign, and the others keep their sign. The input holds the 16-bit samples exactly.
    const std::vector<float> exact = interleavedOf(folder + "/input.wav");
    ASSERT_TRUE(
        writeSoundFile(folder + "/input32.wav", exact, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_32));
    renderCountingClips("input32.wav", "output32.wav");
    std::vector<int> samples(interleaved.size());
    SF_INFO info32{};
    SNDFILE* file = sf_open((folder + "/output32.wav").c_str(), SFM_READ, &info32);
    ASSERT_NE(nullptr, file);
    ASSERT_EQ(info32.frames, sf_readf_int(file, samples.data(), info32.frames));
    sf_close(file);
    int wrong = 0;
    for (std::size_t k = 0; k < wide.frames(); ++k) {
        for (int channel = 0; channel < 2; ++channel) {
            const float expected = channel == 0 ? wide.left[k] : wide.right[k];
            const int actual = samples[2 * k + channel];
            wrong += expected > 1.0f ? actual != INT_MAX
                     : expected < -1.0f
                         ? actual != INT_MIN
                         : (expected > 0.0f && actual < 0) || (expected < 0.0f && actual > 0);
        }
    }
    EXPECT_EQ(0, wrong);
}

// The picture: a PNG of the planned size whose gain-reduction area reaches below 0 dB wherever
// the input has stayed above the threshold for a whole column and the one before.
TEST(RenderTool, PlotShowsGainReductionWhereTheInputIsAboveThreshold) {
    const std::string folder = freshFolderWithExample("plot");
    const std::string picture = folder + "/plot.png";
    const ToolRun run = runTool(quoted(folder + "/example.wav") + " " +
                                quoted(folder + "/out.wav") + " --plot " + quoted(picture));
    ASSERT_EQ(0, run.status) << run.output;

    cairo_surface_t* surface = cairo_image_surface_create_from_png(picture.c_str());
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(surface));
    EXPECT_EQ(plot::kWidth, cairo_image_surface_get_width(surface));
    EXPECT_EQ(plot::kHeight, cairo_image_surface_get_height(surface));

    // The engine's threshold at the defaults, from the reference.
    reference::EffectState state;
    float silence[1] = {0.0f};
    float* channels[2] = {silence, silence};
    reference::processBlock(state, channels, channels, 1, true);
    const float threshold = state.engine.thresholdLevel;

    const StereoAudio audio = readOrFail(folder + "/example.wav");
    const long long perColumn =
        (static_cast<long long>(audio.frames()) + plot::kColumns - 1) / plot::kColumns;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const std::uint32_t gainColour =
        (std::uint32_t{plot::kGainRed} << 16) | (plot::kGainGreen << 8) | plot::kGainBlue;
    int checked = 0;
    int reduced = 0;
    bool previousAbove = false;
    for (long long column = 0; column * perColumn < static_cast<long long>(audio.frames());
         ++column) {
        float peak = 0.0f;
        for (long long k = column * perColumn;
             k < std::min<long long>((column + 1) * perColumn, audio.frames()); ++k) {
            peak = std::max({peak, std::fabs(audio.left[k]), std::fabs(audio.right[k])});
        }
        const bool above = peak > threshold;
        if (above && previousAbove) {
            const auto* row =
                reinterpret_cast<const std::uint32_t*>(data + (plot::kGainTop + 2) * stride);
            ++checked;
            reduced += (row[plot::kLeft + column] & 0xFFFFFF) == gainColour;
        }
        previousAbove = above;
    }
    cairo_surface_destroy(surface);
    EXPECT_GT(checked, 50);
    EXPECT_EQ(checked, reduced);
}

// Any samples, infinite and NaN ones included, are drawn, in bounded time, within the picture:
// the columns holding them reach the level area's top edge, the others stay below it.
TEST(RenderTool, PlotDrawsNonFiniteSamples) {
    const std::string folder = freshFolderWithExample("nonfinite");
    std::vector<float> samples(44100, 0.25f);
    samples[11025] = INFINITY;
    samples[22050] = -INFINITY;
    samples[33075] = NAN;
    ASSERT_TRUE(writeSoundFile(folder + "/odd.wav", samples, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    const std::string picture = folder + "/odd.png";
    const ToolRun run = runTool(quoted(folder + "/odd.wav") + " " + quoted(folder + "/out.wav") +
                                    " --softclip off --quiet --plot " + quoted(picture),
                                "timeout 30 ");
    ASSERT_EQ(0, run.status) << run.output;

    cairo_surface_t* surface = cairo_image_surface_create_from_png(picture.c_str());
    ASSERT_EQ(CAIRO_STATUS_SUCCESS, cairo_surface_status(surface));
    EXPECT_EQ(plot::kWidth, cairo_image_surface_get_width(surface));
    const auto* row = reinterpret_cast<const std::uint32_t*>(
        cairo_image_surface_get_data(surface) +
        (plot::kLevelTop + 3) * cairo_image_surface_get_stride(surface));
    const long long perColumn = (44100 + plot::kColumns - 1) / plot::kColumns;
    for (long long frame : {11025, 22050, 33075}) {
        EXPECT_NE(0xFFFFFFu, row[plot::kLeft + frame / perColumn] & 0xFFFFFF) << frame;
    }
    EXPECT_EQ(0xFFFFFFu, row[plot::kLeft + 5] & 0xFFFFFF);
    cairo_surface_destroy(surface);
}

// An existing output is replaced where it is: through its link, with its mode, under any name
// the folder accepts; the input may be standard input.
TEST(RenderTool, ReplacesAnExistingOutputThroughItsLink) {
    const std::string folder = freshFolderWithExample("replace");
    const std::string target = folder + "/take.wav";
    std::ofstream(target) << "an older take\n";
    ASSERT_EQ(0, chmod(target.c_str(), 0600));
    ASSERT_EQ(0, symlink("take.wav", (folder + "/link.wav").c_str()));
    const std::string longName = folder + "/" + std::string(251, 'n') + ".wav";
    for (const std::string& output : {folder + "/link.wav", longName}) {
        const ToolRun run =
            runTool("- " + quoted(output) + " --quiet < " + quoted(folder + "/example.wav"));
        ASSERT_EQ(0, run.status) << run.output;
        EXPECT_EQ(6 * 44100, infoOf(output).frames);
    }
    struct stat status;
    ASSERT_EQ(0, lstat((folder + "/link.wav").c_str(), &status));
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    ASSERT_EQ(0, stat(target.c_str(), &status));
    EXPECT_EQ(0600u, status.st_mode & 07777);
    EXPECT_EQ(4u, filesIn(folder).size()); // nothing left beside them
}

// A WAV output that passes 4 GiB is written as RF64 (of unknown length: RF64 that stays WAV when
// short); another type whose size fields cannot hold the length is refused.
TEST(RenderFile, ChoosesRF64OrRefusesPastFourGiB) {
    const long long fourGiB = 1LL << 32;
    const struct {
        int format;
        bool floatOutput;
        long long frames;
        bool accepted;
        int chosen;
        bool downgrade;
    } cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_24, false, 600 * 44100, true,
         SF_FORMAT_WAV | SF_FORMAT_PCM_24, false},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, true, fourGiB / 8, true,
         SF_FORMAT_RF64 | SF_FORMAT_FLOAT, false},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, false, fourGiB / 8, true,
         SF_FORMAT_WAV | SF_FORMAT_PCM_16, false},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, false, -1, true, SF_FORMAT_RF64 | SF_FORMAT_PCM_16,
         true},
        {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, true, fourGiB / 8, false, 0, false},
        {SF_FORMAT_CAF | SF_FORMAT_PCM_24, false, fourGiB, true, SF_FORMAT_CAF | SF_FORMAT_PCM_24,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.format) + " " + std::to_string(c.frames));
        OutputFormat chosen;
        std::string error;
        ASSERT_EQ(c.accepted,
                  chooseOutputFormat(c.format, c.floatOutput, 2, c.frames, chosen, error));
        if (c.accepted) {
            EXPECT_EQ(c.chosen, chosen.format);
            EXPECT_EQ(c.downgrade, chosen.downgradeWhenShort);
        } else {
            EXPECT_NE(std::string::npos, error.find("CAF, W64 and RF64 files hold any length"))
                << error;
        }
    }
}
