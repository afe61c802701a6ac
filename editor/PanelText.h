// The seven lines of the editor's text panel: the settings in engineering units, as the editor
// shows them and the render tool prints them. Free of Win32.
#pragma once

#include "dsp/Parameters.h"

constexpr int kPanelLineCount = 7;

struct TextLine {
    char text[48];
    int length;
};

// The seven panel lines, top to bottom, for the ten parameter values (each read once).
void panelLines(const ParameterValues& values, TextLine (&lines)[kPanelLineCount]);

// The number a panel line shows for one knob's value, unrounded, in the line's unit: threshold
// and output in dB, ratio in :1, attack and release in ms, depth in %. 0 for the switches.
double panelReading(ParameterIndex index, float value);
