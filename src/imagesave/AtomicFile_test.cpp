#include "imagesave/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>

#include "support/ScratchFolder.h"

namespace {

bool writeAndCommit(const std::string& target, const std::string& contents, std::string& reason)
{
    AtomicFile file(target);
    if (file.ok())
        std::fwrite(contents.data(), 1, contents.size(), file.stream());
    const bool committed = file.ok() && file.commit();
    reason = file.failureReason();
    return committed;
}

// Runs `attempt` in a child process (for limits and identities a test must not
// keep) and returns what it returned. The child's reason comes back through a pipe.
bool inChild(const std::function<bool(std::string&)>& attempt, std::string& reason)
{
    int channel[2];
    if (pipe(channel) != 0)
        return false;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::string why;
        const bool result = attempt(why);
        (void)!write(channel[1], why.data(), why.size());
        _exit(result ? 0 : 1);
    }
    close(channel[1]);
    char buffer[256];
    const ssize_t n = read(channel[0], buffer, sizeof buffer);
    close(channel[0]);
    reason.assign(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(AtomicFile, ReplacesTheTargetWholeAndKeepsItsMode)
{
    ScratchFolder scratch;
    const std::string target = scratch.path("picture.png");
    writeContents(target, "old");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    std::string reason;
    ASSERT_TRUE(writeAndCommit(target, "new contents", reason)) << reason;
    EXPECT_EQ(fileContents(target), "new contents");
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"picture.png"});
}

TEST(AtomicFile, FollowsASymbolicLinkAndKeepsTheLink)
{
    ScratchFolder scratch;
    writeContents(scratch.path("real.png"), "old");
    ASSERT_EQ(symlink("real.png", scratch.path("link.png").c_str()), 0);
    std::string reason;
    ASSERT_TRUE(writeAndCommit(scratch.path("link.png"), "new", reason)) << reason;
    EXPECT_EQ(fileContents(scratch.path("real.png")), "new");
    struct stat info;
    ASSERT_EQ(lstat(scratch.path("link.png").c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST(AtomicFile, AnUncommittedWriteLeavesNothingBehind)
{
    ScratchFolder scratch;
    writeContents(scratch.path("keep.png"), "old");
    {
        AtomicFile file(scratch.path("keep.png"));
        ASSERT_TRUE(file.ok());
        std::fputs("half", file.stream());
    }
    EXPECT_EQ(fileContents(scratch.path("keep.png")), "old");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"keep.png"});
}

TEST(AtomicFile, FailuresLeaveTheOldFileAndNoTemporary)
{
    ScratchFolder scratch;
    std::string reason;

    EXPECT_FALSE(writeAndCommit(scratch.path("missing/picture.png"), "x", reason));
    EXPECT_EQ(reason, std::strerror(ENOENT));

    // A folder of that name: the rename fails at the very end.
    ASSERT_EQ(mkdir(scratch.path("folder.png").c_str(), 0755), 0);
    EXPECT_FALSE(writeAndCommit(scratch.path("folder.png"), "x", reason));
    EXPECT_FALSE(reason.empty());

    EXPECT_FALSE(writeAndCommit(scratch.folder() + "/", "x", reason));
    EXPECT_EQ(reason, "not a file name");

    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"folder.png"});
}

TEST(AtomicFile, AFullDiskKeepsTheOldFile)
{
    ScratchFolder scratch;
    const std::string target = scratch.path("picture.png");
    writeContents(target, "old");
    // A file size limit fails the writes as a full disk would.
    std::string reason;
    const bool saved = inChild(
        [&](std::string& why) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{1000, 1000};
            setrlimit(RLIMIT_FSIZE, &limit);
            return writeAndCommit(target, std::string(100000, 'x'), why);
        },
        reason);
    EXPECT_FALSE(saved);
    EXPECT_EQ(reason, std::strerror(EFBIG));
    EXPECT_EQ(fileContents(target), "old");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"picture.png"});
}

TEST(AtomicFile, AReadOnlyFolderKeepsTheOldFile)
{
    ScratchFolder scratch;
    const std::string target = scratch.path("picture.png");
    writeContents(target, "old");
    ASSERT_EQ(chmod(target.c_str(), 0644), 0);
    // The file is the writer's own; only the folder stands in the way.
    if (geteuid() == 0) {
        ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    }
    ASSERT_EQ(chmod(scratch.folder().c_str(), 0555), 0);
    // The superuser may write anywhere: the attempt runs as nobody then.
    std::string reason;
    const bool saved = inChild(
        [&](std::string& why) {
            if (geteuid() == 0 && setuid(65534) != 0)
                return true;
            return writeAndCommit(target, "new", why);
        },
        reason);
    ASSERT_EQ(chmod(scratch.folder().c_str(), 0755), 0);
    EXPECT_FALSE(saved);
    EXPECT_EQ(reason, std::strerror(EACCES));
    EXPECT_EQ(fileContents(target), "old");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"picture.png"});
}

// The reason a save into `target` is refused, or "saved" when it went through.
std::string outcomeOf(const std::string& target)
{
    std::string reason;
    return writeAndCommit(target, "new", reason) ? std::string("saved") : reason;
}

TEST(AtomicFile, ReplacesOnlyARegularFileAndSaysWhatElseIsThere)
{
    ScratchFolder scratch;
    // A link to the system's null device: as root, a swap would replace it.
    ASSERT_EQ(symlink("/dev/null", scratch.path("null.png").c_str()), 0);
    EXPECT_EQ(outcomeOf(scratch.path("null.png")), "a device, not a regular file");
    struct stat info;
    ASSERT_EQ(stat("/dev/null", &info), 0);
    EXPECT_TRUE(S_ISCHR(info.st_mode)) << "/dev/null was replaced";

    // Refused without being opened: a pipe nobody reads would block the save.
    ASSERT_EQ(mkfifo(scratch.path("pipe.png").c_str(), 0644), 0);
    EXPECT_EQ(outcomeOf(scratch.path("pipe.png")), "a named pipe, not a regular file");

    const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, scratch.path("socket.png").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(outcomeOf(scratch.path("socket.png")), "a socket, not a regular file");
    close(listener);

    ASSERT_EQ(mkdir(scratch.path("folder.png").c_str(), 0755), 0);
    EXPECT_EQ(outcomeOf(scratch.path("folder.png")), "a folder, not a regular file");
    ASSERT_EQ(symlink("folder.png", scratch.path("to-folder.png").c_str()), 0);
    EXPECT_EQ(outcomeOf(scratch.path("to-folder.png")), "a folder, not a regular file");

    ASSERT_EQ(symlink("nowhere.png", scratch.path("dangling.png").c_str()), 0);
    EXPECT_EQ(outcomeOf(scratch.path("dangling.png")), "a symbolic link to a file that does not exist");

    EXPECT_EQ(scratch.entries().size(), 6u) << "a refusal left a file behind";
    EXPECT_TRUE(std::filesystem::is_fifo(scratch.path("pipe.png")));
    EXPECT_TRUE(std::filesystem::is_socket(scratch.path("socket.png")));
    EXPECT_TRUE(std::filesystem::is_symlink(scratch.path("dangling.png")));
}

TEST(AtomicFile, RefusesToPartHardLinksOrToReplaceAReadOnlyFile)
{
    ScratchFolder scratch;
    writeContents(scratch.path("a.png"), "old");
    ASSERT_EQ(link(scratch.path("a.png").c_str(), scratch.path("b.png").c_str()), 0);
    EXPECT_EQ(outcomeOf(scratch.path("a.png")), "the file has 2 hard links, which a save would part");
    EXPECT_EQ(fileContents(scratch.path("b.png")), "old");

    writeContents(scratch.path("locked.png"), "old");
    ASSERT_EQ(chmod(scratch.path("locked.png").c_str(), 0444), 0);
    // Also as root, who could write it: a read-only file is meant to stay.
    EXPECT_EQ(outcomeOf(scratch.path("locked.png")), "the file is read-only");
    EXPECT_EQ(fileContents(scratch.path("locked.png")), "old");

    // Writable by its owner only, and the writer is someone else.
    writeContents(scratch.path("theirs.png"), "old");
    ASSERT_EQ(chmod(scratch.path("theirs.png").c_str(), 0644), 0);
    ASSERT_EQ(chmod(scratch.folder().c_str(), 0777), 0);
    std::string reason;
    const bool saved = inChild(
        [&](std::string& why) {
            if (geteuid() == 0 && setuid(65534) != 0)
                return true;
            return writeAndCommit(scratch.path("theirs.png"), "new", why);
        },
        reason);
    EXPECT_FALSE(saved);
    EXPECT_EQ(reason, "the file may not be written by this user");
    EXPECT_EQ(fileContents(scratch.path("theirs.png")), "old");
    EXPECT_EQ(scratch.entries().size(), 4u);
}

TEST(AtomicFile, AReplacedFileKeepsItsOwnerWherePermitted)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only the superuser may give a file to another user";
    ScratchFolder scratch;
    const std::string target = scratch.path("shared.png");
    writeContents(target, "old");
    ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
    ASSERT_EQ(chmod(target.c_str(), 0664), 0);
    EXPECT_EQ(outcomeOf(target), "saved");
    struct stat info;
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 65534u);
    EXPECT_EQ(info.st_gid, 65534u);
    EXPECT_EQ(info.st_mode & 07777, 0664u);
}

TEST(AtomicFile, ANewFileGetsTheUsualModeLessTheUmask)
{
    ScratchFolder scratch;
    const mode_t old = umask(027);
    EXPECT_EQ(outcomeOf(scratch.path("new.png")), "saved");
    umask(old);
    struct stat info;
    ASSERT_EQ(stat(scratch.path("new.png").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// The temporary has no name until it is complete: a save killed midway leaves
// the folder as it was.
TEST(AtomicFile, ASaveKilledMidwayLeavesNothingBehind)
{
    ScratchFolder scratch;
    writeContents(scratch.path("old.png"), "old");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        AtomicFile file(scratch.path("old.png"));
        AtomicFile other(scratch.path("new.png"));
        std::fputs(std::string(100000, 'x').c_str(), file.stream());
        std::fflush(file.stream());
        std::fputs("half", other.stream());
        (void)!write(ready[1], "w", 1);
        pause();
        _exit(0);
    }
    close(ready[1]);
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    close(ready[0]);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"old.png"});
    EXPECT_EQ(fileContents(scratch.path("old.png")), "old");
}

}  // namespace
