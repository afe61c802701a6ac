// The offscreen window system's own part of a window (its image surface) and the records the
// observer keeps for Offscreen.h.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/offscreen/Offscreen.h"
#include "platform/winapi/WinApiState.h"

namespace offscreen::detail {

// Its surface is an RGB24 image, black at first.
struct OffscreenWindow : winapi::NativeWindow {
    ~OffscreenWindow() override;
};

// Gives `window` its image surface; false when none could be made.
bool attachSurface(winapi::Window& window);

struct Records {
    std::map<std::string, ClassCalls> classCalls; // by lower-case class name
    std::map<HWND, int> paints;                   // WM_PAINT deliveries by pumpPaint
    std::vector<int> cursorsSet;
    std::vector<TextRecord> texts;
    std::vector<BlitRecord> blits;
    std::vector<FillRecord> fills;
    std::vector<ShellCall> shellCalls;
    std::vector<std::string> diagnostics;
};

Records& records();

std::string lowerCase(const char* text);

} // namespace offscreen::detail
