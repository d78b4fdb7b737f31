#include "imagesave/AtomicFile.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <functional>

#include "support/ScratchFolder.h"

namespace {

bool writeAndCommit(const std::string& target, const std::string& contents, std::string& reason)
{
    AtomicFile file(target);
    if (file.ok()) std::fwrite(contents.data(), 1, contents.size(), file.stream());
    const bool committed = file.ok() && file.commit();
    reason = file.failureReason();
    return committed;
}

// Runs `attempt` in a child process (for limits and identities a test must not
// keep) and returns what it returned. The child's reason comes back through a pipe.
bool inChild(const std::function<bool(std::string&)>& attempt, std::string& reason)
{
    int channel[2];
    if (pipe(channel) != 0) return false;
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
    ASSERT_EQ(chmod(scratch.folder().c_str(), 0555), 0);
    // The superuser may write anywhere: the attempt runs as nobody then.
    std::string reason;
    const bool saved = inChild(
        [&](std::string& why) {
            if (geteuid() == 0 && setuid(65534) != 0) return true;
            return writeAndCommit(target, "new", why);
        },
        reason);
    ASSERT_EQ(chmod(scratch.folder().c_str(), 0755), 0);
    EXPECT_FALSE(saved);
    EXPECT_EQ(reason, std::strerror(EACCES));
    EXPECT_EQ(fileContents(target), "old");
    EXPECT_EQ(scratch.entries(), std::vector<std::string>{"picture.png"});
}

}  // namespace
