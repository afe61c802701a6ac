// Everything that names this plug-in, in one place: the dispatcher, the editor, the resource
// script, the tools and the tests read it from here.
#pragma once

#include "editor/PanelLayout.h"
#include "host/Vst2Interface.h"
#include "resources/ResourceIds.h"

namespace identity {

constexpr const char* kEffectName = "Quorvel Demo";
constexpr const char* kProductString = "Quorvel Demo";
constexpr const char* kVendorString = "Almacor";
constexpr const char* kProgramName = "Default";
constexpr const char* kParameterName = "Demo";

constexpr VstInt32 kUniqueId = fourCharConstant('Z', 'K', 'P', 'W');
static_assert(kUniqueId == 0x5A4B5057, "'ZKPW'");
constexpr VstInt32 kVersion = 1;
constexpr VstInt32 kVendorVersion = 0;
constexpr VstInt32 kVstVersion = 2200;

constexpr VstInt32 kNumPrograms = 1;
constexpr VstInt32 kNumParams = 10;
constexpr VstInt32 kNumInputs = 2;
constexpr VstInt32 kNumOutputs = 2;

constexpr int kEditorWidth = panel::kWidth;
constexpr int kEditorHeight = panel::kHeight;
constexpr const char* kEditorClassName = "VSTEditorClass";

// The maker's web page, opened from the editor's link area.
constexpr const char* kMakerWebPage = "https://www.example.com/almacor/quorvel";

} // namespace identity
