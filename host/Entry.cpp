#include "host/Entry.h"

AEffect* vstPluginEntry(audioMasterCallback hostCallback, EffectFactory makeEffect) {
    if (hostCallback == nullptr) {
        return nullptr; // no host to answer the version request
    }
    if (hostCallback(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr;
    }
    EffectBase* effect = makeEffect(hostCallback);
    return effect ? effect->getAeffect() : nullptr;
}
