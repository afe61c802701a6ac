// The X11 window system: editor windows as XCB child windows of the host's window, shown,
// flushed after every paint and destroyed on request; the capture as a pointer grab; cursors
// from the server's cursor font.
#include <cairo-xcb.h>

#include <cstdint>
#include <cstdlib>

#include "platform/x11/X11State.h"

using namespace x11;
using winapi::Window;

namespace {

// The visual of the screen whose root is `root` with id `visual`; null when there is none.
xcb_visualtype_t* findVisual(xcb_connection_t* connection, xcb_window_t root,
                             xcb_visualid_t visual) {
    for (auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection)); screens.rem;
         xcb_screen_next(&screens)) {
        if (screens.data->root != root) {
            continue;
        }
        for (auto depths = xcb_screen_allowed_depths_iterator(screens.data); depths.rem;
             xcb_depth_next(&depths)) {
            for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
                 xcb_visualtype_next(&visuals)) {
                if (visuals.data->visual_id == visual) {
                    return visuals.data;
                }
            }
        }
    }
    return nullptr;
}

// Makes the X window: a child of `parent` on a new connection, with the parent's depth and
// visual. False when there is no display or `parent` is no window on it.
bool createXWindow(X11Window& window, xcb_window_t parent, int x, int y, int width, int height) {
    window.connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(window.connection)) {
        return false;
    }
    xcb_connection_t* const c = window.connection;
    const auto attributesCookie = xcb_get_window_attributes(c, parent);
    const auto geometryCookie = xcb_get_geometry(c, parent);
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, attributesCookie, nullptr);
    xcb_get_geometry_reply_t* geometry = xcb_get_geometry_reply(c, geometryCookie, nullptr);
    xcb_visualtype_t* visual = nullptr;
    if (attributes != nullptr && geometry != nullptr &&
        attributes->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT) {
        visual = findVisual(c, geometry->root, attributes->visual);
    }
    std::free(attributes);
    std::free(geometry);
    if (visual == nullptr) {
        return false;
    }

    window.id = xcb_generate_id(c);
    // No background: exposed parts keep their pixels until the paint, which covers everything.
    const std::uint32_t values[] = {
        XCB_BACK_PIXMAP_NONE, XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS |
                                  XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION |
                                  XCB_EVENT_MASK_ENTER_WINDOW | XCB_EVENT_MASK_LEAVE_WINDOW |
                                  XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_create_window_checked(
               c, XCB_COPY_FROM_PARENT, window.id, parent, static_cast<std::int16_t>(x),
               static_cast<std::int16_t>(y), static_cast<std::uint16_t>(width),
               static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
               XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXMAP | XCB_CW_EVENT_MASK, values));
    if (error != nullptr) {
        // The parent went away between the queries and the creation.
        std::free(error);
        window.id = 0;
        return false;
    }
    window.surface = cairo_xcb_surface_create(c, window.id, visual, width, height);
    return cairo_surface_status(window.surface) == CAIRO_STATUS_SUCCESS;
}

class X11System final : public winapi::WindowSystem {
public:
    winapi::Observer* observer() override { return nullptr; }

    bool create(Window& window, HWND parent, int x, int y) override {
        // Only child windows exist here: the parent is the host's X11 window, by its id.
        const auto parentId = reinterpret_cast<std::uintptr_t>(parent);
        if ((window.style & WS_CHILD) == 0 || parentId == 0 || parentId > UINT32_MAX) {
            return false;
        }
        auto made = std::make_unique<X11Window>();
        X11Window& record = *made;
        window.native = std::move(made);
        return createXWindow(record, static_cast<xcb_window_t>(parentId), x, y, window.width,
                             window.height);
    }

    void created(Window& window, bool visible) override {
        X11Window& record = native(window);
        if (visible) {
            xcb_map_window(record.connection, record.id);
        }
        xcb_flush(record.connection);
    }

    void destroy(Window& window) override {
        X11Window& record = native(window);
        if (!record.serverGone && !xcb_connection_has_error(record.connection)) {
            xcb_destroy_window(record.connection, record.id);
            xcb_flush(record.connection);
        }
    }

    void destroyed() override { reapOpeners(); }

    void painted(Window& window) override { xcb_flush(native(window).connection); }

    void captureTaken(Window& window, Window* previous) override {
        if (previous != nullptr) {
            X11Window& old = native(*previous);
            xcb_ungrab_pointer(old.connection, XCB_CURRENT_TIME);
            xcb_flush(old.connection);
        }
        // Taken over from the press's own (implicit) grab, so it holds until ReleaseCapture
        // even when the button is let go outside; the answer is not waited for.
        X11Window& record = native(window);
        const auto cookie = xcb_grab_pointer(
            record.connection, 0, record.id,
            XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                XCB_EVENT_MASK_LEAVE_WINDOW,
            XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, record.lastTime);
        xcb_discard_reply(record.connection, cookie.sequence);
        xcb_flush(record.connection);
    }

    void captureReleased(Window& window) override {
        X11Window& record = native(window);
        if (!record.serverGone) {
            xcb_ungrab_pointer(record.connection, XCB_CURRENT_TIME);
            xcb_flush(record.connection);
        }
    }

    void showCursor(Window& window, int id) override {
        X11Window& record = native(window);
        if (record.serverGone || xcb_connection_has_error(record.connection)) {
            return;
        }
        xcb_connection_t* const c = record.connection;
        // Glyphs of the server's cursor font: left_ptr and hand2.
        constexpr std::uint16_t kArrowGlyph = 68;
        constexpr std::uint16_t kHandGlyph = 60;
        xcb_cursor_t& cursor = id == 32649 ? record.handCursor : record.arrowCursor;
        if (id != 0 && cursor == 0) {
            if (record.cursorFont == 0) {
                record.cursorFont = xcb_generate_id(c);
                xcb_open_font(c, record.cursorFont, 6, "cursor");
            }
            const std::uint16_t glyph = id == 32649 ? kHandGlyph : kArrowGlyph;
            cursor = xcb_generate_id(c);
            xcb_create_glyph_cursor(c, cursor, record.cursorFont, record.cursorFont, glyph,
                                    glyph + 1, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF);
        }
        const xcb_cursor_t wanted = id != 0 ? cursor : XCB_NONE;
        if (wanted != record.shownCursor) {
            xcb_change_window_attributes(c, record.id, XCB_CW_CURSOR, &wanted);
            record.shownCursor = wanted;
            xcb_flush(c);
        }
    }

    ULONG_PTR open(LPCSTR file) override { return startOpener(file); }
};

} // namespace

namespace winapi {

WindowSystem& windowSystem() {
    static X11System system;
    return system;
}

} // namespace winapi
