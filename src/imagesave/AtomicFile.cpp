#include "imagesave/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace {

// A symbolic link is followed: the file it names is replaced, the link stays.
std::string resolvedTarget(const std::string& target)
{
    std::error_code error;
    if (!std::filesystem::is_symlink(target, error)) return target;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(target, error);
    return error ? target : resolved.string();
}

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

// The mode a newly created file gets (0666 less the umask), or the mode of the
// file being replaced, so that a save keeps who may read the file.
mode_t modeFor(const std::string& target)
{
    struct stat info;
    if (stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target) : targetPath(resolvedTarget(target))
{
    const std::string name = std::filesystem::path(targetPath).filename().string();
    if (name.empty()) {
        reason = "not a file name";
        return;
    }
    // Hidden, so that a file manager watching the folder does not offer it.
    std::string pattern = folderOf(targetPath) + "/." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int descriptor = mkstemp(buffer.data());
    if (descriptor < 0) {
        failFromErrno();
        return;
    }
    temporaryPath = buffer.data();
    if (fchmod(descriptor, modeFor(targetPath)) != 0) {
        failFromErrno();
        close(descriptor);
        discardTemporary();
        return;
    }
    file = fdopen(descriptor, "wb");
    if (!file) {
        failFromErrno();
        close(descriptor);
        discardTemporary();
        return;
    }
    // From here on a set errno comes from the writes, and names what stopped them.
    errno = 0;
}

AtomicFile::~AtomicFile()
{
    if (file) std::fclose(file);
    discardTemporary();
}

void AtomicFile::fail(const std::string& why)
{
    if (reason.empty()) reason = why;
}

void AtomicFile::failFromErrno()
{
    fail(std::strerror(errno));
}

void AtomicFile::discardTemporary()
{
    if (!temporaryPath.empty()) unlink(temporaryPath.c_str());
    temporaryPath.clear();
}

bool AtomicFile::commit()
{
    if (!file) return false;
    // A full disk may show only at the flush or the sync, after every write
    // seemed to succeed.
    if (std::ferror(file)) fail(errno != 0 ? std::strerror(errno) : "write error");
    if (reason.empty() && std::fflush(file) != 0) failFromErrno();
    if (reason.empty() && fsync(fileno(file)) != 0) failFromErrno();
    const int closed = std::fclose(file);
    file = nullptr;
    if (reason.empty() && closed != 0) failFromErrno();
    if (reason.empty() && std::rename(temporaryPath.c_str(), targetPath.c_str()) != 0) failFromErrno();
    if (!reason.empty()) {
        discardTemporary();
        return false;
    }
    temporaryPath.clear();
    return true;
}
