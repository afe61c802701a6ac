#include "tests/winhost/EditorChecks.h"

#include <cmath>

#include "editor/PanelLayout.h"

namespace editor_checks {

using panel::kKnobPos;
using panel::kLampPos;

const Knob kKnobs[6] = {{"Attack", 2, kKnobPos[0].x},    {"Release", 3, kKnobPos[1].x},
                        {"Output", 6, kKnobPos[2].x},    {"Ratio", 1, kKnobPos[3].x},
                        {"Threshold", 0, kKnobPos[4].x}, {"Depth", 8, kKnobPos[5].x}};
const Lamp kLamps[3] = {{"AutoMakeUp", 9, kLampPos[0].x},
                        {"Limiter", 5, kLampPos[1].x},
                        {"Softclip", 7, kLampPos[2].x}};

namespace {

constexpr int kKnobY = kKnobPos[0].y;
constexpr int kKnobWidth = panel::kFrameSize;
constexpr int kKnobHeight = panel::kKnobShownHeight;
constexpr int kLampY = kLampPos[0].y;
constexpr int kLampWidth = panel::kLampWidth;
constexpr int kLampHeight = panel::kLampHeight;
constexpr int kBarLeft = panel::kMeterSlotX;
constexpr int kBarRight = panel::kMeterSlotX + panel::kMeterSlotLength - 1; // last column
constexpr int kInputRow = panel::kMeterSlotY[0];
constexpr int kGainRow = panel::kMeterSlotY[1];
constexpr int kOutputRow = panel::kMeterSlotY[2];

constexpr std::uint32_t colourOf(panel::Rgb c) {
    return rgb(c.r, c.g, c.b);
}
constexpr std::uint32_t kFullScaleColour = colourOf(panel::kOverFullScaleColour);
constexpr std::uint32_t kThresholdColour = colourOf(panel::kOverThresholdColour);
constexpr std::uint32_t kNormalColour = colourOf(panel::kLevelColour);
constexpr std::uint32_t kGainColour = colourOf(panel::kGainColour);

bool blockEquals(const Picture& shot, int x, int y, const Picture& source, int sx, int sy, int w,
                 int h) {
    for (int dy = 0; dy < h; ++dy) {
        for (int dx = 0; dx < w; ++dx) {
            if (shot.at(x + dx, y + dy) != source.at(sx + dx, sy + dy)) {
                return false;
            }
        }
    }
    return true;
}

// The frame of the strip a knob picture shows, or -1.
int shownFrame(const Picture& shot, const Picture& strip, int x) {
    for (int frame = 0; frame <= 128; ++frame) {
        if (blockEquals(shot, x, kKnobY, strip, kKnobWidth * frame, 0, kKnobWidth, kKnobHeight)) {
            return frame;
        }
    }
    return -1;
}

// Bar lengths that the law atan(2 x peak) x 79, truncated and limited to 79, may give: two when
// the product lies within rounding distance of a whole number.
std::vector<int> barLengths(float peak) {
    const double length = std::atan(2.0 * static_cast<double>(peak)) * 79.0;
    std::vector<int> lengths;
    for (double candidate : {length - 1e-6, length + 1e-6}) {
        int n = static_cast<int>(candidate);
        if (n > 79) {
            n = 79;
        }
        if (lengths.empty() || lengths.back() != n) {
            lengths.push_back(n);
        }
    }
    return lengths;
}

// Reads one bar of a slot: `fromLeft` bars start at column 18, the gain bar ends at column 96.
// Returns its length, or -1 with `problem` set when the slot holds anything but the bar in
// `colour` and the background.
int readBar(const Picture& shot, const Picture& background, int top, bool fromLeft,
            std::uint32_t colour, std::string& problem) {
    int length = 0;
    while (length <= kBarRight - kBarLeft) {
        const int x = fromLeft ? kBarLeft + length : kBarRight - length;
        if (shot.at(x, top) != colour) {
            break;
        }
        ++length;
    }
    for (int y = top; y < top + 3; ++y) {
        for (int x = kBarLeft; x <= kBarRight; ++x) {
            const bool inBar = fromLeft ? x < kBarLeft + length : x > kBarRight - length;
            const std::uint32_t want = inBar ? colour : background.at(x, y);
            if (shot.at(x, y) != want) {
                problem = "pixel (" + std::to_string(x) + "," + std::to_string(y) + ") is " +
                          colourText(shot.at(x, y)) + ", expected " + colourText(want) +
                          " for a bar of " + std::to_string(length);
                return -1;
            }
        }
    }
    return length;
}

void checkLevelBar(const Picture& shot, const Picture& background, int top, const char* name,
                   float peak, std::uint32_t colour, const std::string& when) {
    const std::vector<int> lengths = barLengths(peak);
    std::string problem;
    const int length = readBar(shot, background, top, true, colour, problem);
    bool matches = false;
    for (int n : lengths) {
        matches = matches || n == length;
    }
    note(std::string(name) + "_bar " + when, std::to_string(length) + " px");
    check(matches,
          std::string(name) + " bar " + when + ": " + std::to_string(lengths.front()) + " px of " +
              colourText(colour) + " from x 18 (peak " + std::to_string(peak) + ")",
          problem.empty() ? "shows " + std::to_string(length) + " px" : problem);
}

} // namespace

int frameOf(float value) {
    return static_cast<int>(value * 128.0f);
}

Art::Art(HMODULE dll)
    : background(loadBitmapResource(dll, 114)), strip(loadBitmapResource(dll, 101)),
      lamp(loadBitmapResource(dll, 113)) {
    ok = check(background.width == kWidth && background.height == kHeight,
               "resource 114 (background) is 550 x 170") &
         check(strip.width == 129 * kKnobWidth && strip.height == 55,
               "resource 101 (knob strip) is 7095 x 55") &
         check(lamp.width == kLampWidth && lamp.height == kLampHeight,
               "resource 113 (lamp) is 20 x 16");
}

Picture Art::expected(const Panel& panel) const {
    Picture picture = background;
    for (const Knob& knob : kKnobs) {
        copyBlock(picture, knob.x, kKnobY, strip,
                  kKnobWidth * frameOf(panel.values[knob.parameter]), 0, kKnobWidth, kKnobHeight);
    }
    for (const Lamp& lampPlace : kLamps) {
        if (panel.values[lampPlace.parameter] > 0.0f) {
            copyBlock(picture, lampPlace.x, kLampY, lamp, 0, 0, kLampWidth, kLampHeight);
        }
    }
    return picture;
}

bool inTextArea(int x, int y) {
    return x >= 236 && x < 368 && y >= 36 && y <= 127;
}

bool inBarSlot(int x, int y) {
    if (x < kBarLeft || x > kBarRight) {
        return false;
    }
    for (int top : {kInputRow, kGainRow, kOutputRow}) {
        if (y >= top && y < top + 3) {
            return true;
        }
    }
    return false;
}

void checkPanel(const Picture& shot, const Picture& expected, const std::string& when) {
    if (!check(shot.width == kWidth && shot.height == kHeight,
               "the picture " + when + " is 550 x 170",
               std::to_string(shot.width) + " x " + std::to_string(shot.height))) {
        return;
    }
    int differing = 0;
    std::string first;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (inTextArea(x, y) || inBarSlot(x, y) || shot.at(x, y) == expected.at(x, y)) {
                continue;
            }
            if (differing++ == 0) {
                first = "first at (" + std::to_string(x) + "," + std::to_string(y) +
                        "): " + colourText(shot.at(x, y)) + " instead of " +
                        colourText(expected.at(x, y));
            }
        }
    }
    check(differing == 0,
          "the window " + when + " shows the DLL's background, knob frames and lamps exactly",
          std::to_string(differing) + " pixels differ, " + first);
}

void checkKnobs(const Picture& shot, const Art& art, const Panel& panel, const std::string& when) {
    for (const Knob& knob : kKnobs) {
        const int want = frameOf(panel.values[knob.parameter]);
        const int shown = shownFrame(shot, art.strip, knob.x);
        check(shown == want,
              std::string(knob.name) + " knob " + when + " shows frame " + std::to_string(want),
              shown < 0 ? "shows no frame of the strip" : "shows frame " + std::to_string(shown));
    }
}

void checkLamps(const Picture& shot, const Art& art, const Panel& panel, const std::string& when) {
    for (const Lamp& lamp : kLamps) {
        const bool on = panel.values[lamp.parameter] > 0.0f;
        const bool lit = blockEquals(shot, lamp.x, kLampY, art.lamp, 0, 0, kLampWidth, kLampHeight);
        const bool unlit = blockEquals(shot, lamp.x, kLampY, art.background, lamp.x, kLampY,
                                       kLampWidth, kLampHeight);
        check(on ? lit : unlit,
              std::string(lamp.name) + " lamp " + when + (on ? " is lit" : " is unlit"),
              lit     ? "it is lit"
              : unlit ? "it is unlit"
                      : "it shows neither lamp picture");
    }
}

int textAreaDifference(const Picture& a, const Picture& b) {
    int differing = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            differing += inTextArea(x, y) && a.at(x, y) != b.at(x, y);
        }
    }
    return differing;
}

void PeakModel::pass(const float* left, const float* right, int frames) {
    double m = peak;
    for (int k = 0; k < frames; ++k) {
        const double l = std::fabs(static_cast<double>(left[k]));
        const double r = std::fabs(static_cast<double>(right[k]));
        if (l > m) {
            m = l;
        }
        if (r > m) {
            m = r;
        }
        if (m > 0.0) {
            m = m + -0.0001;
        }
        peak = static_cast<float>(m);
    }
}

std::vector<float> Meters::process(const Instance& instance, const std::vector<float>& left,
                                   const std::vector<float>& right) {
    const int frames = static_cast<int>(left.size());
    input.pass(left.data(), right.data(), frames);
    std::vector<float> result = instance.processReplacing(left, right);
    output.pass(result.data(), result.data() + frames, frames);
    return result;
}

void checkBars(const Picture& shot, const Art& art, const Meters& meters, float thresholdLevel,
               int minimumGainLength, const std::string& when) {
    const float in = meters.input.value();
    const float out = meters.output.value();
    checkLevelBar(shot, art.background, kInputRow, "input", in,
                  in > 1.0f             ? kFullScaleColour
                  : in > thresholdLevel ? kThresholdColour
                                        : kNormalColour,
                  when);
    checkLevelBar(shot, art.background, kOutputRow, "output", out,
                  out > 1.0f ? kFullScaleColour : kNormalColour, when);
    std::string problem;
    const int gain = readBar(shot, art.background, kGainRow, false, kGainColour, problem);
    note("gain_bar " + when, std::to_string(gain) + " px");
    check(gain >= minimumGainLength && gain <= 78,
          "gain bar " + when + ": " + colourText(kGainColour) + " anchored at x 97, at least " +
              std::to_string(minimumGainLength) + " px",
          problem.empty() ? std::to_string(gain) + " px" : problem);
}

void loudBlock(std::vector<float>& left, std::vector<float>& right, int frames, float amplitude) {
    left.resize(static_cast<std::size_t>(frames));
    right.resize(static_cast<std::size_t>(frames));
    for (int k = 0; k < frames; ++k) {
        const float sign = (k & 1) ? -1.0f : 1.0f;
        left[static_cast<std::size_t>(k)] = sign * amplitude;
        right[static_cast<std::size_t>(k)] = -sign * amplitude * 0.9f;
    }
}

#ifdef _WIN32
HWND openEditor(const Instance& instance, HWND host, const std::string& what) {
    const VstIntPtr answer = instance.dispatch(effEditOpen, 0, 0, host);
    pumpMessages();
    HWND editor = findEditorWindow(host);
    check(answer == 1 && editor != nullptr,
          "effEditOpen " + what + " answers 1 and makes a VSTEditorClass child of the host window",
          "answered " + std::to_string(answer) + (editor ? "" : ", no editor window"));
    return editor;
}

Picture idleAndCapture(const Instance& instance, HWND editor) {
    idleAndPump(instance, 3);
    UpdateWindow(editor);
    pumpMessages(1);
    return captureWindow(editor);
}
#endif

} // namespace editor_checks
