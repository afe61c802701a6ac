#include "platform/x11/X11State.h"

namespace x11 {

X11Window::~X11Window() {
    if (surface != nullptr) {
        // Cairo keeps per-connection data (and shared-memory segments) in the surface's device:
        // finish it before the connection goes, so nothing of Cairo outlives it.
        cairo_device_t* device = cairo_device_reference(cairo_surface_get_device(surface));
        cairo_surface_finish(surface);
        cairo_surface_destroy(surface);
        if (device != nullptr) {
            cairo_device_finish(device);
            cairo_device_destroy(device);
        }
    }
    if (connection != nullptr) {
        if (!xcb_connection_has_error(connection)) {
            for (const xcb_cursor_t cursor : {arrowCursor, handCursor}) {
                if (cursor != 0) {
                    xcb_free_cursor(connection, cursor);
                }
            }
            if (cursorFont != 0) {
                xcb_close_font(connection, cursorFont);
            }
            xcb_flush(connection);
        }
        // Also for a connection that failed: xcb_connect hands out an object either way.
        xcb_disconnect(connection);
    }
}

} // namespace x11
