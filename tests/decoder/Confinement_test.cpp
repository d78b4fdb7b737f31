#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "PathLookups.h"
#include "PictureFiles.h"
#include "decoder/DecoderSandbox.h"
#include "imageopen/DecoderProcess.h"
#include "support/ScratchDirectory.h"

// The decoder sees nothing of the file system: every path lookup fails, or
// ends it, once it is confined.

namespace {

struct ProbeRun {
    std::string output;
    int status = 0;
};

// Runs the real decoder on a JPEG with the probe preloaded, making lookup `which`.
ProbeRun runProbe(const std::string& jpeg, int which)
{
    ProbeRun run;
    int reply[2];
    if (pipe(reply) != 0)
        return run;
    const int input = open(jpeg.c_str(), O_RDONLY);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input, 0);
    posix_spawn_file_actions_adddup2(&actions, reply[1], 1);
    posix_spawn_file_actions_addclose(&actions, reply[0]);
    const std::string decoder = decoderPath();
    const std::string preload = std::string("LD_PRELOAD=") + WEATHERING_PATH_PROBE;
    const std::string lookup = "WEATHERING_PROBE=" + std::to_string(which);
    const char* argv[] = {decoder.c_str(), "3", "256", "5", "probe.jpg", nullptr};
    const char* environment[] = {preload.c_str(), lookup.c_str(), nullptr};
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, decoder.c_str(), &actions, nullptr, const_cast<char* const*>(argv),
                                    const_cast<char* const*>(environment));
    posix_spawn_file_actions_destroy(&actions);
    close(reply[1]);
    close(input);
    if (spawned == 0) {
        char block[256];
        for (ssize_t got; (got = read(reply[0], block, sizeof block)) > 0;)
            run.output.append(block, static_cast<std::size_t>(got));
        waitpid(pid, &run.status, 0);
    }
    close(reply[0]);
    return run;
}

}  // namespace

TEST(Confinement, EveryPathLookupFailsInsideTheDecoder)
{
    const std::string scratch = makeScratchDirectory("confinement");
    ASSERT_FALSE(scratch.empty());
    const std::string jpeg = scratch + "/probe.jpg";
    ASSERT_TRUE(writeJpeg(jpeg, testSamples(8, 8, 3, false, 1), false, false));
    for (int which = 0; which < pathLookupCount(); ++which) {
        const ProbeRun run = runProbe(jpeg, which);
        const std::string started = "probe " + std::to_string(which) + "\n";
        ASSERT_EQ(run.output.rfind(started, 0), 0u)
            << pathLookupName(which) << ": the probe did not run: " << run.output;
        const bool killed = WIFSIGNALED(run.status) && WTERMSIG(run.status) == SIGSYS;
        const bool failed = run.output.rfind(started + "result -", 0) == 0;
        EXPECT_TRUE(killed || failed) << pathLookupName(which) << " worked: " << run.output;
    }
    removeScratchDirectory(scratch);
}

// Without the seccomp filter, the file-system layer alone (an empty root in a
// namespace of its own, Landlock) still lets no lookup find anything.
TEST(Confinement, TheFileSystemLayerAloneLetsNoLookupThrough)
{
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const HiddenFileSystem hidden = hideFileSystem();
        if (!hidden.emptyRoot)
            _exit(77);
        for (int which = 0; which < pathLookupCount(); ++which)
            if (tryPathLookup(which) >= 0)
                _exit(100 + which);
        _exit(42);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "this system allows no user and mount namespace";
    EXPECT_EQ(WEXITSTATUS(status), 42) << pathLookupName(WEXITSTATUS(status) - 100) << " found its target";
}
