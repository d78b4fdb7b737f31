#include "imagesave/AtomicFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <vector>

namespace {

std::string folderOf(const std::string& path)
{
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? std::string(".") : folder;
}

// Why a file of this type is not replaced; empty for a regular file.
std::string notRegularReason(mode_t mode)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return "a folder, not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device, not a regular file";
    if (S_ISFIFO(mode))
        return "a named pipe, not a regular file";
    if (S_ISSOCK(mode))
        return "a socket, not a regular file";
    return "not a regular file";
}

mode_t newFileMode()
{
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// A name for the finished temporary beside the target, unlikely to be taken.
std::string candidateName(const std::string& folder, const std::string& name)
{
    static std::minstd_rand generator(std::random_device{}());
    return folder + "/." + name + "." + std::to_string(getpid()) + "." + std::to_string(generator());
}

}  // namespace

AtomicFile::AtomicFile(const std::string& target)
{
    if (!checkTarget(target))
        return;
    folder = folderOf(targetPath);
    if (!createTemporary())
        return;
    // From here on a set errno comes from the writes, and names what stopped them.
    errno = 0;
}

AtomicFile::~AtomicFile()
{
    if (file)
        std::fclose(file);
    discardTemporary();
}

bool AtomicFile::checkTarget(const std::string& target)
{
    if (std::filesystem::path(target).filename().empty()) {
        fail("not a file name");
        return false;
    }
    targetPath = target;
    struct stat link;
    if (lstat(target.c_str(), &link) != 0) {
        if (errno == ENOENT)
            return true;  // a new file; a missing folder shows at creation
        failFromErrno();
        return false;
    }
    if (S_ISLNK(link.st_mode)) {
        // Followed to its end, which must be an existing regular file.
        std::vector<char> resolved(PATH_MAX);
        if (realpath(target.c_str(), resolved.data()) == nullptr) {
            fail(errno == ENOENT ? "a symbolic link to a file that does not exist" : std::strerror(errno));
            return false;
        }
        targetPath = resolved.data();
    }
    if (stat(targetPath.c_str(), &replaced) != 0) {
        failFromErrno();
        return false;
    }
    const std::string notRegular = notRegularReason(replaced.st_mode);
    if (!notRegular.empty()) {
        fail(notRegular);
        return false;
    }
    if (replaced.st_nlink > 1) {
        fail("the file has " + std::to_string(replaced.st_nlink) + " hard links, which a save would part");
        return false;
    }
    // Even the superuser leaves a file alone that nobody may write.
    if ((replaced.st_mode & 0222) == 0) {
        fail("the file is read-only");
        return false;
    }
    if (faccessat(AT_FDCWD, targetPath.c_str(), W_OK, AT_EACCESS) != 0) {
        fail("the file may not be written by this user");
        return false;
    }
    replacing = true;
    return true;
}

bool AtomicFile::createTemporary()
{
    int descriptor = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (descriptor < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // No anonymous files here: a hidden named one, removed on failure.
        const std::string pattern = folder + "/." + std::filesystem::path(targetPath).filename().string() + ".XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        descriptor = mkostemp(buffer.data(), O_CLOEXEC);
        if (descriptor >= 0)
            temporaryPath = buffer.data();
    }
    if (descriptor < 0) {
        failFromErrno();
        return false;
    }
    adoptModeAndOwner(descriptor);
    file = fdopen(descriptor, "w+b");
    if (!file) {
        failFromErrno();
        close(descriptor);
        discardTemporary();
        return false;
    }
    return true;
}

// The owner first: changing it clears set-user-ID bits that the mode then restores.
void AtomicFile::adoptModeAndOwner(int descriptor)
{
    if (replacing && (replaced.st_uid != geteuid() || replaced.st_gid != getegid())) {
        if (fchown(descriptor, replaced.st_uid, replaced.st_gid) != 0)
            (void)!fchown(descriptor, -1, replaced.st_gid);
    }
    if (fchmod(descriptor, replacing ? (replaced.st_mode & 07777) : newFileMode()) != 0)
        failFromErrno();
}

void AtomicFile::fail(const std::string& why)
{
    if (reason.empty())
        reason = why;
}

void AtomicFile::failFromErrno()
{
    fail(std::strerror(errno));
}

void AtomicFile::discardTemporary()
{
    if (!temporaryPath.empty())
        unlink(temporaryPath.c_str());
    temporaryPath.clear();
}

// An anonymous temporary gets a hidden name first: a link cannot replace a file,
// a rename can.
bool AtomicFile::nameTemporary()
{
    if (!temporaryPath.empty())
        return true;
    const std::string name = std::filesystem::path(targetPath).filename().string();
    const std::string descriptorPath = "/proc/self/fd/" + std::to_string(fileno(file));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = candidateName(folder, name);
        // Through /proc, or (without /proc) by the descriptor itself, which needs privilege.
        if (linkat(AT_FDCWD, descriptorPath.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
            (errno == ENOENT && linkat(fileno(file), "", AT_FDCWD, candidate.c_str(), AT_EMPTY_PATH) == 0)) {
            temporaryPath = candidate;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    failFromErrno();
    return false;
}

bool AtomicFile::commit()
{
    if (!file)
        return false;
    // A full disk may show only at the flush or the sync, after every write
    // seemed to succeed.
    if (std::ferror(file))
        fail(errno != 0 ? std::strerror(errno) : "write error");
    if (reason.empty() && std::fflush(file) != 0)
        failFromErrno();
    if (reason.empty() && fsync(fileno(file)) != 0)
        failFromErrno();
    // What is there now is what gets replaced: it may have changed since the start.
    struct stat now;
    if (reason.empty() && lstat(targetPath.c_str(), &now) == 0)
        fail(notRegularReason(now.st_mode));
    if (reason.empty())
        nameTemporary();
    const int closed = std::fclose(file);
    file = nullptr;
    if (reason.empty() && closed != 0)
        failFromErrno();
    if (reason.empty() && std::rename(temporaryPath.c_str(), targetPath.c_str()) != 0)
        failFromErrno();
    if (!reason.empty()) {
        discardTemporary();
        return false;
    }
    temporaryPath.clear();
    // The new name itself is made lasting too.
    const int folderDescriptor = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderDescriptor >= 0) {
        fsync(folderDescriptor);
        close(folderDescriptor);
    }
    return true;
}
