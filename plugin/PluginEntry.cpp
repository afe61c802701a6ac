#include "plugin/PluginEntry.h"

#include <new>

#include "host/Entry.h"
#include "plugin/CompressorEffect.h"

namespace {
EffectBase* makeCompressorEffect(audioMasterCallback hostCallback) {
    return new (std::nothrow) CompressorEffect(hostCallback);
}
} // namespace

AEffect* pluginMain(audioMasterCallback hostCallback) {
    return vstPluginEntry(hostCallback, &makeCompressorEffect);
}
