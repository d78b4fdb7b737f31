#include "decoder/DecoderSandbox.h"

#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace {

bool setLimit(int resource, rlim_t value)
{
    const rlimit limit = {value, value};
    return setrlimit(resource, &limit) == 0;
}

// Allows a call only on one file descriptor (its first argument).
bool allowOnFd(scmp_filter_ctx filter, int call, int fd)
{
    return seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1, SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd))) == 0;
}

bool allow(scmp_filter_ctx filter, int call)
{
    return seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
}

}  // namespace

bool limitResources(long megabytes, long cpuSeconds)
{
    // The tool kills a decoder that takes too long; this covers a tool that died
    // first, and the CPU limit a decoder the tool can no longer see.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return false;
    const rlim_t bytes = static_cast<rlim_t>(megabytes) * 1024 * 1024;
    return setLimit(RLIMIT_AS, bytes) && setLimit(RLIMIT_CPU, static_cast<rlim_t>(cpuSeconds)) &&
           setLimit(RLIMIT_FSIZE, 0) && setLimit(RLIMIT_CORE, 0) && setLimit(RLIMIT_NPROC, 0);
}

bool confineToDecoding(int inputFd, int replyFd)
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!filter) return false;
    bool ok = allowOnFd(filter, SCMP_SYS(read), inputFd) &&          // the image file
              allowOnFd(filter, SCMP_SYS(lseek), inputFd) &&         // readers seek in it
              allowOnFd(filter, SCMP_SYS(newfstatat), inputFd) &&    // stdio sizes its buffer (fstat)
              allowOnFd(filter, SCMP_SYS(write), replyFd) &&         // the reply
              allow(filter, SCMP_SYS(brk)) &&                        // the heap
              allow(filter, SCMP_SYS(munmap)) &&                     // freeing large blocks
              allow(filter, SCMP_SYS(mremap)) &&                     // growing them (realloc)
              allow(filter, SCMP_SYS(sysinfo)) &&                    // the TIFF reader sizes buffers by RAM
              allow(filter, SCMP_SYS(exit_group));                   // the end
    // Large blocks (malloc's mmap), never executable: new code would let a
    // take-over do more.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(mmap), 1,
                                SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    ok = ok && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return ok;
}
