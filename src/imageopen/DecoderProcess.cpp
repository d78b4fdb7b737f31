#include "imageopen/DecoderProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <thread>
#include <vector>

#include "background/JobProgress.h"
#include "decodereply/DecodeReply.h"

namespace {

constexpr const char* decoderName = "weathering-decode";

bool isExecutableFile(const std::string& path)
{
    return access(path.c_str(), X_OK) == 0;
}

std::string ownDirectory()
{
    std::vector<char> buffer(PATH_MAX + 1);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), PATH_MAX);
    if (length <= 0)
        return std::string();
    const std::string self(buffer.data(), static_cast<std::size_t>(length));
    return self.substr(0, self.rfind('/'));
}

// Milliseconds left until the deadline, 0 once it has passed.
int millisecondsUntil(std::chrono::steady_clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
}

// How long one wait lasts before a cancel is looked for: a cancel (or a quit) ends the
// decoder within a small part of the half second a person notices.
constexpr int cancelCheckMilliseconds = 20;

int nextWaitMilliseconds(std::chrono::steady_clock::time_point deadline, bool cancellable)
{
    const int left = millisecondsUntil(deadline);
    return cancellable && left > cancelCheckMilliseconds ? cancelCheckMilliseconds : left;
}

void closeFd(int& fd)
{
    if (fd >= 0)
        close(fd);
    fd = -1;
}

}  // namespace

std::string decoderPath()
{
    const std::string beside = ownDirectory() + "/" + decoderName;
    if (isExecutableFile(beside))
        return beside;
    // Installed programs find it from their own folder first, so that a staged or
    // moved installation uses its own decoder.
    const std::string relative = ownDirectory() + "/../" + WEATHERING_LIBEXEC_RELATIVE + "/" + decoderName;
    if (isExecutableFile(relative))
        return relative;
    const std::string installed = std::string(WEATHERING_LIBEXEC_DIR) + "/" + decoderName;
    if (isExecutableFile(installed))
        return installed;
    return std::string();
}

DecoderProcess::DecoderProcess(const DecoderSettings& settings) : settings(settings) {}

DecoderProcess::~DecoderProcess()
{
    closeFd(replyFd);
    if (pid > 0) {
        kill();
        reap(true);
    }
    closeFd(pidFd);
}

bool DecoderProcess::start(int fileFd, const std::string& name, int channels)
{
    const std::string path = settings.executable.empty() ? decoderPath() : settings.executable;
    if (path.empty())
        return false;
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;

    // The decoder gets the file, the reply pipe and nothing else of ours: no X
    // connection, no GL or GTK descriptors, no signal handlers, no environment.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fileFd, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t signals;
    sigfillset(&signals);
    posix_spawnattr_setsigdefault(&attributes, &signals);
    sigemptyset(&signals);
    posix_spawnattr_setsigmask(&attributes, &signals);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const std::string channelArg = std::to_string(channels);
    const std::string megabytesArg = std::to_string(settings.megabytes);
    const std::string cpuArg = std::to_string(settings.seconds);
    const char* argv[] = {path.c_str(),   channelArg.c_str(), megabytesArg.c_str(),
                          cpuArg.c_str(), name.c_str(),       nullptr};
    const char* environment[] = {nullptr};
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, &attributes, const_cast<char* const*>(argv),
                                    const_cast<char* const*>(environment));
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(pipeFds[1]);
    if (spawned != 0) {
        pid = -1;
        close(pipeFds[0]);
        return false;
    }
    replyFd = pipeFds[0];
    // A larger pipe lets the decoder write on while the tool turns rows into floats.
    fcntl(replyFd, F_SETPIPE_SZ, 1 << 20);
    // Set from here as well, so that the limit holds for any decoder, even one
    // that does not set it itself: SIGXCPU at the limit, SIGKILL a second later.
    const rlimit cpu = {static_cast<rlim_t>(settings.seconds), static_cast<rlim_t>(settings.seconds) + 1};
    prlimit(pid, RLIMIT_CPU, &cpu, nullptr);
    pidFd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    const int stalled = settings.stalledSeconds > 0 ? settings.stalledSeconds : stalledSecondsFor(settings.seconds);
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(stalled);
    return true;
}

// Kills the decoder when its load was cancelled; true then.
bool DecoderProcess::cancelNow()
{
    if (settings.job == nullptr || !settings.job->cancelled())
        return false;
    cancelled = true;
    kill();
    return true;
}

bool DecoderProcess::waitReadable()
{
    pollfd reply = {replyFd, POLLIN, 0};
    for (;;) {
        if (cancelNow())
            return false;
        const int ready = poll(&reply, 1, nextWaitMilliseconds(deadline, settings.job != nullptr));
        if (ready > 0)
            return true;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0 && millisecondsUntil(deadline) > 0)
            continue;
        if (ready == 0) {
            deadlinePassed = true;
            kill();
        }
        return false;
    }
}

bool DecoderProcess::read(void* buffer, std::size_t bytes)
{
    char* next = static_cast<char*>(buffer);
    while (bytes > 0) {
        if (replyFd < 0 || !waitReadable())
            return false;
        const ssize_t got = ::read(replyFd, next, bytes);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            cutShort = true;
            return false;
        }
        next += got;
        bytes -= static_cast<std::size_t>(got);
    }
    return true;
}

bool DecoderProcess::atEndOfReply()
{
    char extra = 0;
    if (replyFd < 0 || !waitReadable())
        return false;
    for (;;) {
        const ssize_t got = ::read(replyFd, &extra, 1);
        if (got < 0 && errno == EINTR)
            continue;
        return got == 0;
    }
}

DecoderEnd DecoderProcess::finish()
{
    // A decoder that keeps writing after its reply now meets a closed pipe.
    closeFd(replyFd);
    if (pid <= 0)
        return DecoderEnd::failed;
    return reap(false);
}

void DecoderProcess::kill()
{
    if (pid > 0)
        ::kill(pid, SIGKILL);
    killedByUs = true;
}

bool DecoderProcess::exitsBeforeDeadline()
{
    if (pidFd >= 0) {
        pollfd exited = {pidFd, POLLIN, 0};
        for (;;) {
            if (cancelNow())
                return true;
            const int ready = poll(&exited, 1, nextWaitMilliseconds(deadline, settings.job != nullptr));
            if (ready == 0 && millisecondsUntil(deadline) > 0)
                continue;
            if (ready >= 0 || errno != EINTR)
                return ready > 0;
        }
    }
    for (;;) {
        if (cancelNow())
            return true;
        siginfo_t info = {};
        if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
            return true;
        if (info.si_pid != 0)
            return true;
        if (millisecondsUntil(deadline) == 0)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

DecoderEnd DecoderProcess::reap(bool killed)
{
    if (!killed && !exitsBeforeDeadline()) {
        deadlinePassed = true;
        kill();
    }
    int status = 0;
    rusage usage = {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    pid = -1;
    if (cancelled)
        return DecoderEnd::cancelled;
    if (deadlinePassed)
        return DecoderEnd::stalled;
    if (WIFEXITED(status)) {
        if (WEXITSTATUS(status) == 0)
            return DecoderEnd::exited;
        return WEXITSTATUS(status) == decoderOutOfMemoryStatus ? DecoderEnd::outOfMemory : DecoderEnd::failed;
    }
    endSignal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    // Its processor-time limit: SIGXCPU, or the SIGKILL that follows it when
    // SIGXCPU was ignored.
    const long cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec;
    if (endSignal == SIGXCPU || (endSignal == SIGKILL && !killedByUs && cpuSeconds >= settings.seconds))
        return DecoderEnd::outOfTime;
    return DecoderEnd::crashed;
}
