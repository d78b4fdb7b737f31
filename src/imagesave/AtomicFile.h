#pragma once

#include <cstdio>
#include <string>

// A file that appears whole or not at all. The bytes go to a temporary file in
// the target's own folder (so the final rename stays on one file system); only
// commit() renames it over the target. Until then, and after any failure, the
// old target is untouched; the destructor removes a temporary that was not
// committed. Every failure is kept as a reason fit for "cannot save <path>: <reason>".
class AtomicFile {
public:
    // Creates the temporary file beside `target`; check ok() before writing.
    explicit AtomicFile(const std::string& target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool ok() const { return file != nullptr && reason.empty(); }
    // The stream to write to; null when the temporary could not be made.
    std::FILE* stream() const { return file; }
    // Marks the write as failed (for encoders that report through their own means).
    void fail(const std::string& why);
    // Flushes, syncs and closes the temporary, then renames it over the target.
    bool commit();
    const std::string& failureReason() const { return reason; }

private:
    std::string targetPath;
    std::string temporaryPath;
    std::FILE* file = nullptr;
    std::string reason;

    void failFromErrno();
    void discardTemporary();
};
