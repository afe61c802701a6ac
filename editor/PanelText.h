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
