// The editor interface the dispatcher forwards the editor opcodes to. The host layer owns it;
// the editor implements it.
#pragma once

#include "host/Vst2Interface.h"

class EffectBase;

class EditorBase {
public:
    explicit EditorBase(EffectBase* owner) : effect(owner) {}
    virtual ~EditorBase() = default;

    EditorBase(const EditorBase&) = delete;
    EditorBase& operator=(const EditorBase&) = delete;

    // Virtual operations, in slot order.
    virtual VstInt32 getRect(ERect** rect) {
        *rect = nullptr;
        return 0;
    }
    virtual VstInt32 open(void* parent) {
        parentWindow = parent;
        return 0;
    }
    virtual void close() {}
    virtual void idle() {
        if (updatePending) {
            updatePending = 0;
            update();
        }
    }
    virtual void update() {}
    virtual void postUpdate() { updatePending = 1; }
    virtual VstInt32 onKeyDown(VstKeyCode& /*keyCode*/) { return -1; }
    virtual VstInt32 onKeyUp(VstKeyCode& /*keyCode*/) { return -1; }
    virtual VstInt32 setKnobMode(VstInt32 /*mode*/) { return 0; }
    virtual VstInt32 onWheel(float /*distance*/) { return 0; }

    EffectBase* owningEffect() const { return effect; }
    void* parent() const { return parentWindow; }
    VstInt32 isUpdatePending() const { return updatePending; }

protected:
    EffectBase* const effect;
    void* parentWindow = nullptr;
    VstInt32 updatePending = 0;
};
