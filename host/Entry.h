// The library entry: the version handshake, then one new effect per call.
#pragma once

#include "host/EffectBase.h"

// Makes the effect object; returns null when it cannot be allocated.
using EffectFactory = EffectBase* (*)(audioMasterCallback hostCallback);

// What the exported `main` does: asks the host for its version (a host answering 0 is too old
// and gets null, with nothing allocated), then makes a new, independent effect and returns the
// address of its AEffect record, or null when none was made.
AEffect* vstPluginEntry(audioMasterCallback hostCallback, EffectFactory makeEffect);
