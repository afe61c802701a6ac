#include "tests/x11/X11Host.h"

#include <cairo.h>
#include <dirent.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "resources/BmpFile.h"
#include "resources/EmbeddedResources.h"
#include "tests/support/TestHost.h"

// ---- tests/winhost/HostSupport.h, for Linux --------------------------------------------------

// The bitmaps the shared object carries are the embedded files of resources/, read here with
// the tools' and tests' reader.
Picture loadBitmapResource(HMODULE, int id) {
    Picture picture;
    const EmbeddedBitmap* file = findEmbeddedBitmap(id);
    bmp::Image image;
    if (file == nullptr || !bmp::decode(file->data, file->size, image)) {
        return picture;
    }
    picture.width = image.width;
    picture.height = image.height;
    picture.pixels = image.pixels;
    for (std::uint32_t& pixel : picture.pixels) {
        pixel &= 0xFFFFFFu; // a 32-bit file's fourth byte is not part of the colour
    }
    return picture;
}

// ---- the Linux host --------------------------------------------------------------------------

namespace x11_host {

Module::Module(const std::string& path) {
    std::string error;
    isOpen = module.open(path, error);
    if (!isOpen) {
        std::printf("%s\n", error.c_str());
    }
}

AEffect* Module::newInstance() const {
    std::string error;
    return module.newInstance(&test_host::versionOnlyCallback, error);
}

Display::Display() {
    int screenNumber = 0;
    connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        connection = nullptr;
        return;
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    screen = screens.data;
}

Display::~Display() {
    if (connection != nullptr) {
        xcb_disconnect(connection);
    }
}

xcb_window_t Display::createWindow(int x, int y, int width, int height) {
    const xcb_window_t window = xcb_generate_id(connection);
    const std::uint32_t values[] = {screen->black_pixel, 1};
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root,
                      static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection, window);
    sync();
    return window;
}

void Display::destroyWindow(xcb_window_t window) {
    xcb_destroy_window(connection, window);
    sync();
}

void Display::mapWindow(xcb_window_t window, bool mapped) {
    if (mapped) {
        xcb_map_window(connection, window);
    } else {
        xcb_unmap_window(connection, window);
    }
    sync();
}

std::vector<xcb_window_t> Display::children(xcb_window_t window) {
    // The plug-in's requests, on its own connection, may still be on their way to the server.
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<xcb_window_t> result;
    xcb_query_tree_reply_t* tree =
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), nullptr);
    if (tree != nullptr) {
        const xcb_window_t* list = xcb_query_tree_children(tree);
        result.assign(list, list + xcb_query_tree_children_length(tree));
        std::free(tree);
    }
    return result;
}

Picture Display::capture(xcb_window_t window, int width, int height) {
    Picture picture;
    xcb_get_image_reply_t* image = xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                      static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), ~0u),
        nullptr);
    if (image == nullptr) {
        return picture;
    }
    // Depth 24 in 32-bit little-endian words: blue, green, red, unused.
    const std::uint8_t* data = xcb_get_image_data(image);
    if (xcb_get_image_data_length(image) >= width * height * 4) {
        picture.width = width;
        picture.height = height;
        picture.pixels.resize(static_cast<std::size_t>(width) * height);
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) {
            const std::uint8_t* p = data + i * 4;
            picture.pixels[i] = rgb(p[2], p[1], p[0]);
        }
    }
    std::free(image);
    return picture;
}

void Display::movePointer(int x, int y) {
    xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root,
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
    sync();
}

void Display::button(bool press) {
    xcb_test_fake_input(connection, press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1,
                        XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    sync();
}

std::vector<std::uint32_t> Display::cursorImage() {
    std::vector<std::uint32_t> image;
    std::free(xcb_xfixes_query_version_reply(connection, xcb_xfixes_query_version(connection, 4, 0),
                                             nullptr));
    xcb_xfixes_get_cursor_image_reply_t* cursor = xcb_xfixes_get_cursor_image_reply(
        connection, xcb_xfixes_get_cursor_image(connection), nullptr);
    if (cursor != nullptr) {
        const std::uint32_t* pixels = xcb_xfixes_get_cursor_image_cursor_image(cursor);
        image.assign({cursor->xhot, cursor->yhot});
        image.insert(image.end(), pixels,
                     pixels + xcb_xfixes_get_cursor_image_cursor_image_length(cursor));
        std::free(cursor);
    }
    return image;
}

void Display::sync() {
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

void idle(const Instance& instance, int rounds) {
    for (int i = 0; i < rounds; ++i) {
        instance.dispatch(effEditIdle);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

bool writePng(const std::string& path, const Picture& picture) {
    // RGB24 keeps each pixel as a native 0x00RRGGBB word, as the picture does.
    std::vector<std::uint32_t> pixels = picture.pixels;
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(pixels.data()), CAIRO_FORMAT_RGB24, picture.width,
        picture.height, picture.width * 4);
    const bool written = cairo_surface_write_to_png(image, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(image);
    return written;
}

int openFileCount() {
    int count = 0;
    if (DIR* directory = opendir("/proc/self/fd")) {
        while (const dirent* entry = readdir(directory)) {
            count += entry->d_name[0] != '.';
        }
        closedir(directory);
    }
    return count - 1; // the directory's own descriptor
}

} // namespace x11_host
