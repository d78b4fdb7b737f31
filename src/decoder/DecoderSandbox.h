#pragma once

// The confinement of the decoder process, in the order it is put on:
// limitResources at once, then the file is read whole from standard input,
// then hideFileSystem and confineToDecoding, before the first byte of it is parsed.

// Dies with the tool, caps memory, processor time (SIGXCPU at cpuSeconds, SIGKILL
// a second later) and file writes, and turns off core dumps. False when a limit
// could not be set.
bool limitResources(long megabytes, long cpuSeconds);

// Which file-system layers hideFileSystem could put on; the kernel or the
// system's settings may withhold either.
struct HiddenFileSystem {
    bool emptyRoot = false;  // a user and mount namespace whose root is an empty, read-only folder
    bool landlock = false;   // a Landlock domain that grants no file access at all
};

// Leaves the process in an empty directory with nothing of the file system in
// reach: an empty root where namespaces are allowed (else an empty, already
// removed working directory), and Landlock's deny-all where the kernel has it.
HiddenFileSystem hideFileSystem();

// From here on the process can write `replyFd`, manage its memory and exit;
// any other system call, any path lookup among them, kills it. False when the
// filter could not be installed.
bool confineToDecoding(int replyFd);
