#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>

// A regular file that appears whole or not at all, and replaces only a regular
// file. The bytes go to a temporary file in the target's own folder (so the final
// rename stays on one file system): an anonymous one where the file system offers
// them, so that a save killed midway leaves nothing, else a hidden named one that
// the destructor removes. Only commit() gives it the target's name. Until then,
// and after any failure, the old target is untouched.
//
// A target that exists must be a regular file, reached directly or through
// symbolic links, with one link only and writable: a device, pipe, socket or
// folder is never replaced by a file, a hard-linked file is never parted from its
// other names, and a read-only file stays read-only. A replaced file keeps its
// mode, and its owner where the process may set it. Every failure is kept as a
// reason fit for "cannot save <path>: <reason>".
class AtomicFile {
public:
    // Checks the target and creates the temporary file; check ok() before writing.
    explicit AtomicFile(const std::string& target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return file != nullptr && reason.empty(); }
    // The stream to write to; null when the temporary could not be made.
    std::FILE* stream() const { return file; }
    // The temporary's descriptor, open for reading and writing, for encoders that
    // seek back (write either to it or to the stream, not both).
    int descriptor() const { return file != nullptr ? fileno(file) : -1; }
    // Marks the write as failed (for encoders that report through their own means).
    void fail(const std::string& why);
    // Flushes and syncs the temporary, then gives it the target's name.
    bool commit();
    const std::string& failureReason() const { return reason; }

private:
    std::string targetPath;  // the regular file to replace, links resolved
    std::string folder;
    std::string temporaryPath;  // set while a named temporary exists
    std::FILE* file = nullptr;
    std::string reason;
    bool replacing = false;
    struct stat replaced = {};

    bool checkTarget(const std::string& target);
    bool createTemporary();
    void adoptModeAndOwner(int descriptor);
    bool nameTemporary();
    void failFromErrno();
    void discardTemporary();
};
