// The plug-in's entry: what the exported `main` and VSTPluginMain call.
#pragma once

#include "host/Vst2Interface.h"

AEffect* pluginMain(audioMasterCallback hostCallback);
