// What the editor should show, built from the DLL's own bitmaps, and the checks that compare a
// picture of the real window with it.
#pragma once

#include <string>
#include <vector>

#include "tests/winhost/HostSupport.h"

namespace editor_checks {

constexpr int kWidth = 550;
constexpr int kHeight = 170;

struct Knob {
    const char* name;
    int parameter;
    int x; // destination of the 55 x 54 frame, at y 56
};
extern const Knob kKnobs[6];

struct Lamp {
    const char* name;
    int parameter;
    int x; // destination of the 20 x 16 lamp, at y 131
};
extern const Lamp kLamps[3];

// The ten parameter values the editor shows, starting at the plug-in's defaults.
struct Panel {
    float values[10] = {0.5f, 0.5f, 0.18f, 0.23f, 1.0f, 0.0f, 0.63f, 1.0f, 0.0f, 0.0f};
};

// The film-strip frame of a value: value x 128, truncated.
int frameOf(float value);

// The three bitmaps, loaded from the DLL's resources.
struct Art {
    explicit Art(HMODULE dll);
    bool valid() const { return ok; }
    // Background, knobs and lamps for `panel`; no text and no bars.
    Picture expected(const Panel& panel) const;

    Picture background;
    Picture strip;
    Picture lamp;
    bool ok = false;
};

// Pixels where the text panel is drawn in a font the test cannot predict.
bool inTextArea(int x, int y);
// The three level-bar slots: columns 18 to 96 of rows 126-128, 135-137, 144-146.
bool inBarSlot(int x, int y);

// The capture equals `expected` everywhere outside the text area and the bar slots.
void checkPanel(const Picture& shot, const Picture& expected, const std::string& when);
// Each knob shows the frame of its value; a mismatch names the frame it shows instead.
void checkKnobs(const Picture& shot, const Art& art, const Panel& panel, const std::string& when);
// Each lamp is lit exactly when its switch is on.
void checkLamps(const Picture& shot, const Art& art, const Panel& panel, const std::string& when);
// Pixels of the text area that differ between two pictures.
int textAreaDifference(const Picture& a, const Picture& b);

// The peak-meter law of the block wrapper, run by the host on what it sent and received, so
// it knows what the level bars must show.
class PeakModel {
public:
    void pass(const float* left, const float* right, int frames);
    float value() const { return peak; }

private:
    float peak = 0.0f;
};

// The input and output meters of one instance, fed with every block it processes.
struct Meters {
    PeakModel input;
    PeakModel output;
    // Runs one replacing block through `instance` and both models; returns left then right.
    std::vector<float> process(const Instance& instance, const std::vector<float>& left,
                               const std::vector<float>& right);
};

// Checks the three level bars: input and output against the meter models (length and colour),
// and the gain bar for its shape (anchored at x 97, growing left, in its colour, at least
// `minimumGainLength` long).
void checkBars(const Picture& shot, const Art& art, const Meters& meters, float thresholdLevel,
               int minimumGainLength, const std::string& when);

// A loud block: alternating samples of +-amplitude (left) and -+0.9 x amplitude (right).
void loudBlock(std::vector<float>& left, std::vector<float>& right, int frames, float amplitude);

// The Windows host's side; the Linux host (tests/x11) opens and captures through the X server.
#ifdef _WIN32
// Opens the editor of `instance` in `host`; returns the editor window, null on failure.
HWND openEditor(const Instance& instance, HWND host, const std::string& what);
// Idles the editor as a host does, then reads its picture.
Picture idleAndCapture(const Instance& instance, HWND editor);
#endif

} // namespace editor_checks
