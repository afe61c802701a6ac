// What the Windows test host needs around the plug-in: loading the DLL as a VST 2 host does,
// a recording host callback, checks that print one line each, host windows with a message
// pump, pictures of windows and of the DLL's bitmaps, and counts of windows and GDI objects.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/Vst2Interface.h"

// ---- checks ----------------------------------------------------------------------------------

// Prints "ok: what" or "FAIL: what (detail)" and counts the failures for the exit code.
bool check(bool condition, const std::string& what, const std::string& detail = std::string());
int failureCount();
void note(const std::string& key, const std::string& value); // prints key=value
std::string hex(std::uint64_t value);

// Stops the process with a report when anything in it faults, instead of a debugger dialog.
void installCrashReporter();

// ---- the host callback -----------------------------------------------------------------------

struct HostCall {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    bool duringEntry; // made while the plug-in's entry function was running
};

// Every call the plug-in made to the host since the process started.
const std::vector<HostCall>& hostCalls();
// Answer to audioMasterVersion (default test_host::kVersion); a host that answers 0 is too old.
void setHostVersionAnswer(VstIntPtr answer);
// Checks that no call reached the host outside the entry function.
void checkNoHostCallsAfterEntry(const std::string& when);

// ---- the plug-in DLL -------------------------------------------------------------------------

using PluginEntry = AEffect*(VST_CALLBACK*)(audioMasterCallback);

class PluginLibrary {
public:
    // Loads the DLL and finds its entry: "main" for 32 bit, "VSTPluginMain" then "main" for
    // 64 bit. Unix paths are taken through Wine's Z: drive.
    bool load(const std::string& path);
    HMODULE module() const { return handle; }
    const std::string& entryName() const { return entryUsed; }
    // Calls the entry as a host does for each new instance; null when it gives none.
    AEffect* newInstance();
    // The entry and the host callback newInstance passes it, to call the entry another way.
    PluginEntry entryPoint() const { return entry; }
    static audioMasterCallback hostCallback();

private:
    HMODULE handle = nullptr;
    PluginEntry entry = nullptr;
    std::string entryUsed;
};

// One plug-in instance, driven through its AEffect record only.
class Instance {
public:
    explicit Instance(AEffect* record) : effect(record) {}
    AEffect* record() const { return effect; }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) const;
    // What a host does after loading: open, rate, block size, resume.
    void startUp(float sampleRate = 44100.0f, VstInt32 blockSize = 512) const;
    // Both channels of one block, through separate input and output buffers.
    std::vector<float> processReplacing(const std::vector<float>& left,
                                        const std::vector<float>& right) const;
    VstIntPtr close(); // effClose; the record is gone afterwards

private:
    AEffect* effect;
};

// An instance from `record` (what a host's entry call gave), started up as a host does, after the
// check `what` that the entry gave one; its record() is null when it gave none.
Instance startedInstance(AEffect* record, const std::string& what = "main gives an instance",
                         float sampleRate = 44100.0f, VstInt32 blockSize = 512);

std::string stringFromOpcode(const Instance& instance, VstInt32 opcode, VstInt32 index,
                             VstIntPtr* answer, std::size_t bufferSize = 256);

// ---- host windows ----------------------------------------------------------------------------

// A visible top-level window whose client area holds a 550 x 170 editor, as a host makes one.
HWND createHostWindow(const char* title, int x, int y);
// Dispatches every queued message, `rounds` times with a short sleep between.
void pumpMessages(int rounds = 2);
// What a host's UI timer does: effEditIdle, then the messages it caused.
void idleAndPump(const Instance& instance, int rounds = 3);
// The editor windows (class "VSTEditorClass") anywhere in this process.
int countEditorWindows();
// The editor window that is a direct child of `parent`, or null.
HWND findEditorWindow(HWND parent);
bool editorClassRegistered(HMODULE dll);

// ---- pictures --------------------------------------------------------------------------------

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top row first

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    void set(int x, int y, std::uint32_t rgb) {
        pixels[static_cast<std::size_t>(y) * width + x] = rgb;
    }
};

constexpr std::uint32_t rgb(int r, int g, int b) {
    return (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) |
           static_cast<std::uint32_t>(b);
}
std::string colourText(std::uint32_t colour);

// The client area of a window as it is on screen, read back from the window's DC.
Picture captureWindow(HWND window);
// A BITMAP resource of the DLL, as the DLL itself would load it.
Picture loadBitmapResource(HMODULE dll, int id);
// Copies a w x h block from `source` at (sx, sy) to `target` at (dx, dy).
void copyBlock(Picture& target, int dx, int dy, const Picture& source, int sx, int sy, int w,
               int h);
bool writeBmp(const std::string& path, const Picture& picture);

// ---- resource counts -------------------------------------------------------------------------

// GDI objects as the system reports them (GetGuiResources).
DWORD reportedGdiObjects();
// How many more GDI objects this process could create: brushes are created until the system
// refuses, then deleted again. Every object the process holds lowers it by one, so the
// difference of two readings counts objects made and not deleted in between, also where
// GetGuiResources is not implemented.
int freeGdiHandles();

std::string windowsPath(const std::string& path);
