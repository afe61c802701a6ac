// The Linux test host: loads the shared object as a host does, makes its own X11 windows for
// the editor, drives the pointer through the XTest extension and reads pictures back from the
// X server. Also supplies, for Linux, the pieces of tests/winhost/HostSupport.h that the
// editor checks (tests/winhost/EditorChecks.h) use, so both hosts check with the same code.
#pragma once

#include <xcb/xcb.h>

#include <string>
#include <vector>

#include "tests/support/PluginModule.h"
#include "tests/winhost/HostSupport.h"

namespace x11_host {

// The shared object, loaded by the tools' and tests' one module loader; instances come from
// its entry with this host's callback.
class Module {
public:
    explicit Module(const std::string& path);
    bool loaded() const { return isOpen; }
    AEffect* newInstance() const;

private:
    PluginModule module;
    bool isOpen = false;
};

// The test's own connection to the X server (the one xvfb-run gives).
class Display {
public:
    Display();
    ~Display();
    bool connected() const { return connection != nullptr; }
    xcb_connection_t* get() const { return connection; }

    // A mapped top-level window with its top-left corner at (x, y) of the screen, as a host's
    // plug-in window; the editor goes at its origin.
    xcb_window_t createWindow(int x, int y, int width = 550, int height = 170);
    void destroyWindow(xcb_window_t window);
    void mapWindow(xcb_window_t window, bool mapped);
    std::vector<xcb_window_t> children(xcb_window_t window);
    // The window's pixels as the X server has them.
    Picture capture(xcb_window_t window, int width = 550, int height = 170);
    // Real pointer events through XTest, at screen coordinates.
    void movePointer(int x, int y);
    void button(bool press);
    // The pointer's picture right now (XFixes), hot spot first; empty when unavailable.
    std::vector<std::uint32_t> cursorImage();
    // Waits until the server has handled everything sent so far.
    void sync();

private:
    xcb_connection_t* connection = nullptr;
    xcb_screen_t* screen = nullptr;
};

// What a host's UI timer does: effEditIdle `rounds` times, 20 ms apart.
void idle(const Instance& instance, int rounds = 3);
// Writes the picture as a PNG file.
bool writePng(const std::string& path, const Picture& picture);
// Open file descriptors of this process.
int openFileCount();

} // namespace x11_host
