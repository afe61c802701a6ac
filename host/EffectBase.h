// The VST 2.0 layer of the effect object: owns the AEffect record and the state every effect
// has, answers opcodes 0 to 24 and offers the basic host requests.
#pragma once

#include <atomic>

#include "host/Vst2Interface.h"

class EditorBase;

class EffectBase {
public:
    EffectBase(audioMasterCallback hostCallback, VstInt32 programCount, VstInt32 parameterCount);
    virtual ~EffectBase();

    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    // Virtual operations, in slot order.
    virtual void setParameter(VstInt32 index, float value);
    virtual float getParameter(VstInt32 index);
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);
    virtual void open();
    virtual void close();
    virtual VstInt32 getProgram();
    virtual void setProgram(VstInt32 program);
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParamLabel(VstInt32 index, char* label);
    virtual void getParamDisplay(VstInt32 index, char* text);
    virtual void getParamName(VstInt32 index, char* text);
    virtual float getVu();
    virtual VstInt32 getChunk(void** data, bool isPreset);
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset);
    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(VstInt32 blockSize);
    virtual void suspend();
    virtual void resume();
    virtual void setUniqueId(VstInt32 id);
    virtual void setNumInputs(VstInt32 inputs);
    virtual void setNumOutputs(VstInt32 outputs);
    virtual void setHasVu(bool state);
    virtual void setHasClip(bool state);
    virtual void setCanMono(bool state);
    virtual void setCanReplacing(bool state);
    virtual void setProgramChunks(bool state);
    virtual void setRealQualities(VstInt32 qualities);
    virtual void setOffQualities(VstInt32 qualities);
    virtual void setInitialDelay(VstInt32 delay);
    virtual float getSampleRate();
    virtual VstInt32 getBlockSize();
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);
    // Value-to-text helpers: each writes an 8-character display field plus its terminator,
    // so the buffer needs 9 bytes. Nothing in this plug-in calls them with a host buffer.
    virtual void dbToText(float value, char* text);
    virtual void hzToText(float samples, char* text);
    virtual void msToText(float samples, char* text);
    virtual void floatToText(float value, char* text);
    virtual void intToText(float value, char* text);

    AEffect* getAeffect() { return &cEffect; }
    EditorBase* editorPointer() const { return editor; }
    audioMasterCallback hostCallback() const { return audioMaster; }

    // The effect behind a record the host holds.
    static EffectBase* fromRecord(AEffect* record) {
        return record ? static_cast<EffectBase*>(record->object) : nullptr;
    }

protected:
    // Sends one request; 0 without calling when there is no host callback. Every host request
    // goes through here.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    void setFlag(VstInt32 flag, bool state);

    // Fields, in declaration order.
    std::atomic<float> sampleRate{44100.0f}; // written by the UI thread, read per audio block
    EditorBase* editor = nullptr;            // owned; deleted by the destructor
    audioMasterCallback audioMaster;         // may be null
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    VstInt32 blockSize = 1024;
    AEffect cEffect;

private:
    static VstIntPtr VST_CALLBACK dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index,
                                                VstIntPtr value, void* ptr, float opt);
    static void VST_CALLBACK processEntry(AEffect* e, float** inputs, float** outputs,
                                          VstInt32 sampleFrames);
    static void VST_CALLBACK processReplacingEntry(AEffect* e, float** inputs, float** outputs,
                                                   VstInt32 sampleFrames);
    static void VST_CALLBACK setParameterEntry(AEffect* e, VstInt32 index, float value);
    static float VST_CALLBACK getParameterEntry(AEffect* e, VstInt32 index);
};

// Copies text with its terminator into a host buffer of `capacity` bytes, cutting it short if
// it does not fit. Writes nothing through a null pointer or into a zero-sized buffer.
void copyString(char* destination, const char* source, std::size_t capacity);
