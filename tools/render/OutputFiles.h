// How the render tool writes files without harming any: each output is written to a temporary
// file beside its target, flushed to disk and renamed over the target only when everything is
// complete. A link is followed (its target is replaced, the link stays), an existing file keeps
// its mode and owner, and anything that is not a regular file is refused.
#pragma once

#include <signal.h>
#include <sys/types.h>

#include <string>

// What a path names, for telling files apart: the file itself where it exists (device and
// inode), and the path with every link and folder resolved.
struct FileIdentity {
    std::string resolved; // absolute; empty when unknown (standard input)
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
};

bool sameFile(const FileIdentity& a, const FileIdentity& b);

// The input: standard input for "-"; a file that does not exist gives an identity that matches
// nothing (opening it reports why).
FileIdentity identifyInput(const std::string& path);

// The file an output path would replace: links followed to their target (a dangling link to the
// file it names). Refuses, with a message, anything existing that is not a regular file.
bool resolveOutput(const std::string& path, FileIdentity& target, std::string& error);

// A file written beside its target under a short hidden name and renamed over the target by
// commit(); removed if never committed, and by the handlers of cleanUpOnSignals(). At most two
// exist at a time (the sound file and its picture).
class TemporaryFile {
public:
    TemporaryFile() = default;
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Opens the temporary file for `target` (named `shownName` in messages).
    bool create(const FileIdentity& target, const std::string& shownName, std::string& error);
    int descriptor() const { return fd; }
    // Starts writing what has been written so far to disk, without waiting: the flush at the end
    // then has little left to do.
    void startWriteBack();
    // Gives the file the target's mode and, where the user may, its owner (a new file the mode a
    // plainly created one gets), flushes it to disk and closes it.
    bool finish(std::string& error);
    // Renames it over the target and flushes the folder.
    bool commit(std::string& error);

private:
    FileIdentity target;
    std::string name;
    int fd = -1;
    int slot = -1;
};

// SIGINT, SIGTERM, SIGHUP and SIGQUIT remove the temporary files and end the process with
// 128 + the signal's number; a signal the caller ignored stays ignored.
void cleanUpOnSignals();

// Holds those signals while the outputs are renamed one after another, so that they replace
// their targets all or not at all. One that arrives meanwhile then ends the process as if it
// had come just after: with the signal's default action, the outputs in place.
class CommitWithoutSignals {
public:
    CommitWithoutSignals();
    ~CommitWithoutSignals();
    CommitWithoutSignals(const CommitWithoutSignals&) = delete;
    CommitWithoutSignals& operator=(const CommitWithoutSignals&) = delete;

private:
    sigset_t previous;
};
