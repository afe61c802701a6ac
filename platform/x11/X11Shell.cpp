// SHELL32 on X11: "open" hands the file or address to the desktop's opener, xdg-open.
//
// The opener is started without a shell and never waited for. So that it leaves no zombie in
// the host (which may run long after it, and must not have its SIGCHLD handling touched), a
// short-lived intermediate process starts it and exits at once: the opener is adopted by init,
// and only the intermediate, gone within milliseconds, is reaped here.
#include <shellapi.h>

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

extern char** environ;

namespace {

// ShellExecuteA's answers: above 32 for success.
constexpr ULONG_PTR kStarted = 42;
constexpr ULONG_PTR kFileNotFound = 2;
constexpr ULONG_PTR kOutOfResources = 0;

HINSTANCE answer(ULONG_PTR value) {
    return reinterpret_cast<HINSTANCE>(value);
}

} // namespace

HINSTANCE WINAPI ShellExecuteA(HWND /*owner*/, LPCSTR operation, LPCSTR file, LPCSTR /*parameters*/,
                               LPCSTR /*directory*/, INT /*showCommand*/) {
    if (file == nullptr || (operation != nullptr && std::strcmp(operation, "open") != 0)) {
        return answer(kFileNotFound);
    }
    // Everything the intermediate needs is made before it exists: after fork it only calls
    // posix_spawnp and _exit.
    char opener[] = "xdg-open";
    char* const arguments[] = {opener, const_cast<char*>(file), nullptr};
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        return answer(kOutOfResources);
    }
    // The opener starts with default signal handling and nothing blocked, whatever the host set.
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const pid_t intermediate = fork();
    if (intermediate == 0) {
        pid_t opened = 0;
        const int failed = posix_spawnp(&opened, opener, nullptr, &attributes, arguments, environ);
        _exit(failed == 0 ? 0 : 1);
    }
    posix_spawnattr_destroy(&attributes);
    if (intermediate < 0) {
        return answer(kOutOfResources);
    }
    int status = 0;
    while (waitpid(intermediate, &status, 0) < 0) {
        if (errno == ECHILD) {
            return answer(kStarted); // the host ignores SIGCHLD: the system reaped it already
        }
        if (errno != EINTR) {
            return answer(kOutOfResources);
        }
    }
    return answer(WIFEXITED(status) && WEXITSTATUS(status) == 0 ? kStarted : kFileNotFound);
}
