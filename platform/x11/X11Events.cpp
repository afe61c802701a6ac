// The host's UI thread calls in (effEditIdle, effEditOpen) and the window's X events are read
// and handed to the window procedure as the messages Windows would send. No threads, no timers:
// nothing happens between two calls.
#include <cstdint>
#include <cstdlib>

#include "platform/WindowEvents.h"
#include "platform/x11/X11State.h"

using namespace winapi;
using x11::native;
using x11::X11Window;

namespace {

// Client coordinates packed as Win32 does: 16 bits each, so a pointer left of or above the
// window (while it holds the capture) arrives as 65536 + coordinate.
LPARAM pointerPosition(std::int16_t x, std::int16_t y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

WPARAM keyState(std::uint16_t state) {
    return (state & XCB_BUTTON_MASK_1) != 0 ? MK_LBUTTON : 0;
}

bool isViewable(const X11Window& window) {
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        window.connection, xcb_get_window_attributes(window.connection, window.id), nullptr);
    const bool viewable = attributes != nullptr && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    return viewable;
}

// The X window is gone: its parent was destroyed, or the connection broke. The Win32 window
// goes the way DestroyWindow takes, minus the request to the server.
void windowGone(HWND handle) {
    if (Window* window = findWindow(handle)) {
        native(*window).serverGone = true;
        destroyWindow(handle);
    }
}

void handleEvent(HWND handle, X11Window& window, const xcb_generic_event_t& event) {
    switch (event.response_type & 0x7F) {
    case XCB_EXPOSE:
        InvalidateRect(handle, nullptr, FALSE);
        break;
    case XCB_BUTTON_PRESS: {
        const auto& press = reinterpret_cast<const xcb_button_press_event_t&>(event);
        window.lastTime = press.time;
        if (press.detail == XCB_BUTTON_INDEX_1) {
            deliver(handle, WM_LBUTTONDOWN, MK_LBUTTON,
                    pointerPosition(press.event_x, press.event_y));
        }
        break;
    }
    case XCB_BUTTON_RELEASE: {
        const auto& release = reinterpret_cast<const xcb_button_release_event_t&>(event);
        window.lastTime = release.time;
        if (release.detail == XCB_BUTTON_INDEX_1) {
            deliver(handle, WM_LBUTTONUP, 0, pointerPosition(release.event_x, release.event_y));
        }
        break;
    }
    case XCB_MOTION_NOTIFY: {
        const auto& motion = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
        window.lastTime = motion.time;
        deliver(handle, WM_MOUSEMOVE, keyState(motion.state),
                pointerPosition(motion.event_x, motion.event_y));
        break;
    }
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY: {
        // X ends a grab when its window becomes unviewable (the host hides its window), and
        // the pointer seems to leave; a grab can also end or move elsewhere. While this window
        // holds the capture, either is a lost capture, as WM_CAPTURECHANGED tells on Windows.
        // (Our own ReleaseCapture clears the capture before its ungrab.)
        const auto& crossing = reinterpret_cast<const xcb_enter_notify_event_t&>(event);
        if (state().capture == handle &&
            (crossing.mode != XCB_NOTIFY_MODE_NORMAL || !isViewable(window))) {
            state().capture = nullptr;
            deliver(handle, WM_CAPTURECHANGED, 0, 0);
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto& destroyed = reinterpret_cast<const xcb_destroy_notify_event_t&>(event);
        if (destroyed.window == window.id) {
            windowGone(handle);
        }
        break;
    }
    default:
        // Errors come back here as values (a request about a window the host has just taken
        // down, ...): nothing to do, the window's own fate arrives as DestroyNotify.
        break;
    }
}

} // namespace

void dispatchWindowEvents(HWND handle) {
    const StateLock lock;
    State& s = state();
    if (findWindow(handle) == nullptr || s.eventWindow != nullptr) {
        return; // no such window, or called from inside a message of this very loop
    }
    s.eventWindow = handle;
    for (;;) {
        Window* window = findWindow(handle);
        if (window == nullptr) {
            break;
        }
        X11Window& record = native(*window);
        xcb_generic_event_t* event = xcb_poll_for_event(record.connection);
        if (event == nullptr) {
            if (xcb_connection_has_error(record.connection)) {
                windowGone(handle);
            }
            break;
        }
        handleEvent(handle, record, *event);
        std::free(event);
    }
    if (Window* window = findWindow(handle); window != nullptr && window->invalid) {
        deliver(handle, WM_PAINT, 0, 0);
    }
    if (Window* window = findWindow(handle)) {
        xcb_flush(native(*window).connection);
    }
    s.eventWindow = nullptr;
    x11::reapOpeners();
}

bool reportEditorOpened(HWND window) {
    const StateLock lock;
    return findWindow(window) != nullptr;
}
