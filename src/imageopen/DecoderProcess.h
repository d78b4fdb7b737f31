#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>

// How far a decoder process may go before the tool stops it, and which
// program it is.
struct DecoderSettings {
    int seconds = 20;        // processor time
    long megabytes = 4096;   // its address space
    std::string executable;  // empty: decoderPath(); tests put a hostile stand-in here
    // The caller's own limits for a picture of this size (memory for all it will build
    // from it): why it cannot be taken, "" when it can. Asked before any pixel is received.
    std::function<std::string(int width, int height)> sizeCheck;
    // Wall clock, from the start to the last byte and the exit: only a backstop
    // against a decoder that stopped (a busy machine slows a working one down,
    // and that is no reason to end it). 0: stalledSecondsFor(seconds).
    int stalledSeconds = 0;
};

// The default wall-clock backstop for a processor-time limit.
inline int stalledSecondsFor(int seconds)
{
    return 3 * seconds + 30;
}

// How a decoder process ended.
enum class DecoderEnd {
    exited,       // status 0 after its whole reply
    failed,       // another exit status, or it could not be started
    outOfMemory,  // an allocation failed under the memory limit
    crashed,      // killed by a signal it raised (see signal())
    outOfTime,    // its processor-time limit ended it
    stalled,      // killed by us at the wall-clock backstop
};

// One run of weathering-decode on one open file, its processor time limited by
// the kernel. The reply is read with the wall-clock backstop in force; a process still running when this is destroyed is killed
// and reaped, so no decoder outlives its load.
class DecoderProcess {
public:
    explicit DecoderProcess(const DecoderSettings& settings);
    ~DecoderProcess();
    DecoderProcess(const DecoderProcess&) = delete;
    DecoderProcess& operator=(const DecoderProcess&) = delete;

    // Starts the decoder on fileFd (any position; it reads from the start)
    // for 1 or 3 float channels. `name` tells the decoder the file's type by
    // its extension. False when there is no decoder or it cannot be started.
    bool start(int fileFd, const std::string& name, int channels);

    // Reads exactly `bytes` of the reply. False at the end of the reply, at the
    // deadline (the decoder is then killed) or on a read error.
    bool read(void* buffer, std::size_t bytes);

    // Whether the reply ends here: the decoder closes it (exits) without
    // another byte. False, with replyCutShort() false, when more came.
    bool atEndOfReply();

    // Waits (until the deadline) for the decoder to exit, then says how it did.
    // Anything it sends after the reply it was asked for is a fault of its own.
    DecoderEnd finish();

    int signal() const { return endSignal; }
    // Whether a read met the end of the reply or a read error (not the deadline).
    bool replyCutShort() const { return cutShort; }

private:
    bool waitReadable();
    bool exitsBeforeDeadline();
    void kill();
    DecoderEnd reap(bool block);

    DecoderSettings settings;
    std::chrono::steady_clock::time_point deadline;
    pid_t pid = -1;
    int replyFd = -1;
    int pidFd = -1;
    bool deadlinePassed = false;
    bool killedByUs = false;
    bool cutShort = false;
    int endSignal = 0;
};

// The decoder next to the running program, or else the installed one; empty
// when neither exists.
std::string decoderPath();
