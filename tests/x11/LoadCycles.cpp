// quorvel_load_cycles <module.so>: what a host that scans and unloads plug-ins all day keeps of
// the module. 100 cycles of load, instance (effOpen), effClose and unload, then 100 more that
// also open the editor in a window of this program, idle it and close it: the resident memory
// may grow by 1 MB at most and the number of mappings by 2 at most, counted from the end of a
// first cycle of each kind (which loads the libraries and starts their caches). This program
// links no drawing or font library itself, so whatever they leave behind shows. One line per
// check; the exit code counts the failures.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/support/PluginModule.h"
#include "tests/support/TestHost.h"

namespace {

int failures = 0;

void check(bool condition, const std::string& what) {
    std::printf("%s: %s\n", condition ? "ok" : "FAIL", what.c_str());
    std::fflush(stdout);
    failures += condition ? 0 : 1;
}

struct Usage {
    long rssKb = 0;
    long mappings = 0;
};

Usage usage() {
    Usage u;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            u.rssKb = std::atol(line.c_str() + 6);
        }
    }
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        ++u.mappings;
    }
    return u;
}

// One cycle; with a parent window the editor is opened in it, idled and closed.
bool cycle(const std::string& path, xcb_window_t parent) {
    PluginModule module;
    std::string error;
    AEffect* effect = module.load(path, &test_host::versionOnlyCallback, error);
    if (effect == nullptr) {
        std::printf("cannot load %s: %s\n", path.c_str(), error.c_str());
        return false;
    }
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    bool opened = true;
    if (parent != 0) {
        void* window = reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent));
        opened = effect->dispatcher(effect, effEditOpen, 0, 0, window, 0.0f) == 1;
        effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return opened;
}

// Sanitizer builds allocate through their own runtime: AddressSanitizer keeps freed memory in
// a quarantine and ThreadSanitizer maps shadow memory for every new region, so memory and
// mappings grow by design there. Those builds run the cycles for their leak and race checks;
// the plain build counts what stays.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCountUsage = false;
#else
constexpr bool kCountUsage = true;
#endif

void cycles(const std::string& path, xcb_window_t parent, const char* kind) {
    constexpr int kCycles = 100;
    bool ok = cycle(path, parent);
    const Usage before = usage();
    for (int i = 0; i < kCycles && ok; ++i) {
        ok = cycle(path, parent);
    }
    const Usage after = usage();
    check(ok, std::string("100 cycles ") + kind + " load, make and close the instance");
    char detail[160];
    std::snprintf(detail, sizeof detail, " (resident %+ld KB, mappings %ld -> %ld)",
                  after.rssKb - before.rssKb, before.mappings, after.mappings);
    if (!kCountUsage) {
        std::printf("note: %s, not counted in a sanitizer build%s\n", kind, detail);
        return;
    }
    check(after.rssKb - before.rssKb <= 1024 && after.mappings - before.mappings <= 2,
          std::string("after 100 cycles ") + kind +
              " the resident memory grew by 1 MB at most and the mappings by 2 at most" + detail);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s module.so\n", argv[0]);
        return 2;
    }
    cycles(argv[1], 0, "without the editor");

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        check(false, "this program connects to the X server");
        xcb_disconnect(connection);
        return 1;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 550, 170, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    xcb_map_window(connection, window);
    xcb_flush(connection);
    cycles(argv[1], window, "with the editor");
    xcb_destroy_window(connection, window);
    xcb_disconnect(connection);
    return failures == 0 ? 0 : 1;
}
