// ShellExecuteA's "open" on X11: the file or address goes to the desktop's opener, xdg-open.
//
// The opener is started with posix_spawn, which makes the new process without copying the
// host (however large it is), without a shell, with default signal handling and with only
// the standard input, output and error of the host: every other descriptor open at the time
// is closed in the child, so nothing of the host (its files, sockets, the editor's X
// connection) stays open in the opener and whatever it starts. The opener is never waited
// for: it is reaped with a non-blocking waitpid whenever an editor dispatches its window's
// events (every idle) and when an editor window is destroyed. The host's SIGCHLD handling is
// not touched; a host that reaps all its children itself, or ignores SIGCHLD, leaves nothing
// here to reap.
#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/x11/X11State.h"

extern char** environ;

namespace {

// ShellExecuteA's answers: above 32 for success.
constexpr ULONG_PTR kStarted = 42;
constexpr ULONG_PTR kFileNotFound = 2;
constexpr ULONG_PTR kOutOfResources = 0;

// Openers started and not yet reaped. A click per opener; a full table refuses the next one.
constexpr int kMaxOpeners = 16;
pid_t openers[kMaxOpeners] = {};

// Adds a close action for every descriptor above the standard three that is open now. The
// directory's own descriptor is skipped: it is gone before the child starts.
bool closeAllButStandard(posix_spawn_file_actions_t& actions) {
    DIR* directory = opendir("/proc/self/fd");
    if (directory == nullptr) {
        return false; // without the list the opener cannot be started cleanly
    }
    const int own = dirfd(directory);
    bool ok = true;
    while (const dirent* entry = readdir(directory)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd <= 2 || fd == own) {
            continue;
        }
        ok = ok && posix_spawn_file_actions_addclose(&actions, static_cast<int>(fd)) == 0;
    }
    closedir(directory);
    return ok;
}

} // namespace

namespace x11 {

void reapOpeners() {
    for (pid_t& pid : openers) {
        if (pid == 0) {
            continue;
        }
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        // Reaped now, or already by the host (ECHILD): either way it is no longer ours.
        if (done == pid || (done < 0 && errno == ECHILD)) {
            pid = 0;
        }
    }
}

ULONG_PTR startOpener(LPCSTR file) {
    reapOpeners();
    pid_t* slot = nullptr;
    for (pid_t& pid : openers) {
        if (pid == 0) {
            slot = &pid;
            break;
        }
    }
    if (slot == nullptr) {
        return kOutOfResources;
    }

    char opener[] = "xdg-open";
    char* const arguments[] = {opener, const_cast<char*>(file), nullptr};
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        return kOutOfResources;
    }
    // The opener starts with default signal handling and nothing blocked, whatever the host set.
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        posix_spawnattr_destroy(&attributes);
        return kOutOfResources;
    }
    pid_t started = 0;
    int failed = closeAllButStandard(actions) ? 0 : EMFILE;
    if (failed == 0) {
        failed = posix_spawnp(&started, opener, &actions, &attributes, arguments, environ);
    }
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        return failed == ENOENT ? kFileNotFound : kOutOfResources;
    }
    *slot = started;
    return kStarted;
}

} // namespace x11
