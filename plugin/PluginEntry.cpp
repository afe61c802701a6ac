#include "PluginEntry.h"

#include <new>

#include "CompressorEffect.h"
#include "Entry.h"

namespace {
EffectBase* makeCompressorEffect(audioMasterCallback hostCallback) {
    return new (std::nothrow) CompressorEffect(hostCallback);
}
} // namespace

AEffect* pluginMain(audioMasterCallback hostCallback) {
    return vstPluginEntry(hostCallback, &makeCompressorEffect);
}
