#include "tools/render/OutputFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>

namespace {

// The temporary files in progress, for the signal handler: fixed storage it can read safely.
constexpr int kSlots = 2;
char temporaryPaths[kSlots][PATH_MAX + 32];
volatile std::sig_atomic_t temporaryActive[kSlots] = {};

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void writeMessage(const char* text) {
    const ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void onSignal(int signal) {
    for (int i = 0; i < kSlots; ++i) {
        if (temporaryActive[i] != 0) {
            unlink(temporaryPaths[i]);
        }
    }
    writeMessage("\nquorvel-render: stopped by ");
    writeMessage(signal == SIGINT    ? "SIGINT"
                 : signal == SIGTERM ? "SIGTERM"
                 : signal == SIGHUP  ? "SIGHUP"
                                     : "SIGQUIT");
    writeMessage("; no output written\n");
    _exit(128 + signal);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void fill(FileIdentity& identity, const struct stat& status) {
    identity.exists = true;
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.mode = status.st_mode;
    identity.owner = status.st_uid;
    identity.group = status.st_gid;
}

const char* kindOf(mode_t mode) {
    return S_ISDIR(mode)    ? "a folder"
           : S_ISFIFO(mode) ? "a FIFO"
           : S_ISSOCK(mode) ? "a socket"
           : S_ISCHR(mode)  ? "a character device"
           : S_ISBLK(mode)  ? "a block device"
                            : "not a regular file";
}

} // namespace

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists && b.exists && a.device == b.device && a.inode == b.inode) {
        return true;
    }
    return !a.resolved.empty() && a.resolved == b.resolved;
}

FileIdentity identifyInput(const std::string& path) {
    FileIdentity identity;
    struct stat status;
    if (path == "-") {
        if (fstat(STDIN_FILENO, &status) == 0) {
            fill(identity, status);
        }
        return identity;
    }
    if (stat(path.c_str(), &status) == 0) {
        fill(identity, status);
        if (char* real = realpath(path.c_str(), nullptr)) {
            identity.resolved = real;
            std::free(real);
        }
    }
    return identity;
}

bool resolveOutput(const std::string& path, FileIdentity& target, std::string& error) {
    target = FileIdentity{};
    std::string current = path;
    for (int links = 0;; ++links) {
        struct stat status;
        if (lstat(current.c_str(), &status) != 0) {
            if (errno != ENOENT) {
                error = path + ": " + std::strerror(errno);
                return false;
            }
            break;
        }
        if (!S_ISLNK(status.st_mode)) {
            if (!S_ISREG(status.st_mode)) {
                error = path + ": is " + kindOf(status.st_mode) +
                        "; only a regular file is replaced by an output";
                return false;
            }
            fill(target, status);
            break;
        }
        if (links == 40) {
            error = path + ": " + std::strerror(ELOOP);
            return false;
        }
        char link[PATH_MAX];
        const ssize_t length = readlink(current.c_str(), link, sizeof link - 1);
        if (length < 0) {
            error = path + ": " + std::strerror(errno);
            return false;
        }
        const std::string destination(link, static_cast<std::size_t>(length));
        current = destination[0] == '/' ? destination : folderOf(current) + "/" + destination;
    }
    const std::string name = nameOf(current);
    if (name.empty() || name == "." || name == "..") {
        error = path + ": is a folder; only a regular file is replaced by an output";
        return false;
    }
    char* folder = realpath(folderOf(current).c_str(), nullptr);
    if (folder == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    const std::string resolvedFolder = folder;
    std::free(folder);
    target.resolved = (resolvedFolder == "/" ? "" : resolvedFolder) + "/" + name;
    return true;
}

TemporaryFile::~TemporaryFile() {
    if (fd >= 0) {
        close(fd);
    }
    if (slot >= 0 && temporaryActive[slot] != 0) {
        unlink(temporaryPaths[slot]);
        temporaryActive[slot] = 0;
    }
}

bool TemporaryFile::create(const FileIdentity& output, const std::string& shownName,
                           std::string& error) {
    target = output;
    name = shownName;
    for (int i = 0; i < kSlots && slot < 0; ++i) {
        if (temporaryActive[i] == 0) {
            slot = i;
        }
    }
    // A short name of its own, so that it fits beside any name the folder accepts.
    const std::string folder = folderOf(target.resolved);
    const std::string pattern = folder + "/.quorvel-render-XXXXXX";
    if (slot < 0 || pattern.size() >= sizeof temporaryPaths[0]) {
        error = name + ": path too long";
        return false;
    }
    std::memcpy(temporaryPaths[slot], pattern.c_str(), pattern.size() + 1);
    fd = mkostemp(temporaryPaths[slot], O_CLOEXEC);
    if (fd < 0) {
        error = name + ": cannot write in " + folder + ": " + std::strerror(errno);
        return false;
    }
    temporaryActive[slot] = 1;
    return true;
}

void TemporaryFile::startWriteBack() {
#ifdef SYNC_FILE_RANGE_WRITE
    sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

bool TemporaryFile::finish(std::string& error) {
    mode_t mode = 0;
    if (target.exists) {
        // The owner first: a change of owner clears the set-user and set-group bits. Where the
        // user may not give the file its owner, its group alone is tried.
        if (fchown(fd, target.owner, target.group) != 0) {
            const int ignored = fchown(fd, static_cast<uid_t>(-1), target.group);
            (void)ignored;
        }
        mode = target.mode & 07777;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    const bool done = fchmod(fd, mode) == 0 && fsync(fd) == 0;
    const int code = errno;
    const bool closed = close(fd) == 0;
    fd = -1;
    if (!done || !closed) {
        error = name + ": write failed: " + std::strerror(done ? errno : code);
        return false;
    }
    return true;
}

bool TemporaryFile::commit(std::string& error) {
    if (rename(temporaryPaths[slot], target.resolved.c_str()) != 0) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    temporaryActive[slot] = 0;
    // The rename itself on disk: the folder flushed. A folder that cannot be opened or flushed
    // (some file systems refuse) leaves the rename as durable as the system makes it.
    const int folder = open(folderOf(target.resolved).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return true;
}

void cleanUpOnSignals() {
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : kCleanedSignals) {
        sigaddset(&action.sa_mask, signal);
    }
    for (int signal : kCleanedSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
            sigaction(signal, &action, nullptr);
        }
    }
}

CommitWithoutSignals::CommitWithoutSignals() {
    sigset_t held;
    sigemptyset(&held);
    for (int signal : kCleanedSignals) {
        sigaddset(&held, signal);
    }
    sigprocmask(SIG_BLOCK, &held, &previous);
}

CommitWithoutSignals::~CommitWithoutSignals() {
    for (int signal : kCleanedSignals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == &onSignal) {
            std::signal(signal, SIG_DFL);
        }
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}
