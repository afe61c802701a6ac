// The example the render tool processes: drum-like bursts over a sustained tone.
#pragma once

#include "tools/render/WavFile.h"

// Deterministic: the same call always gives the same samples. A low kick on every beat
// (120 beats per minute), a noise snare on beats 2 and 4, hats on the off-beats, all over a
// quiet two-note chord that stays under the default threshold. Normalised to a peak of 0.9.
StereoAudio makeExampleSignal(int sampleRate = 44100, double seconds = 6.0);
