#pragma once

// The confinement of the decoder process, in the order it is put on.

// Dies with the tool, caps memory, processor time and file writes, and turns off
// core dumps. False when a limit could not be set.
bool limitResources(long megabytes, long cpuSeconds);

// From here on the process can read and seek `inputFd`, write `replyFd`, manage
// its memory and exit; any other system call kills it. False when the filter
// could not be installed.
bool confineToDecoding(int inputFd, int replyFd);
