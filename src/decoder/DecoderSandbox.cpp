#include "decoder/DecoderSandbox.h"

#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool setLimit(int resource, rlim_t soft, rlim_t hard)
{
    const rlimit limit = {soft, hard};
    return setrlimit(resource, &limit) == 0;
}

bool allowOnFd(scmp_filter_ctx filter, int call, int fd)
{
    return seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 1, SCMP_A0(SCMP_CMP_EQ, static_cast<scmp_datum_t>(fd))) == 0;
}

bool allow(scmp_filter_ctx filter, int call)
{
    return seccomp_rule_add(filter, SCMP_ACT_ALLOW, call, 0) == 0;
}

// A user and mount namespace of our own whose root is an empty tmpfs mounted
// read-only over /tmp; nothing outside it can be named after the chroot.
bool enterEmptyRoot()
{
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 && unshare(CLONE_NEWNS) != 0)
        return false;
    // Our mounts must not reach the namespace we came from.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    if (mount("none", "/tmp", "tmpfs", MS_RDONLY | MS_NOSUID | MS_NODEV | MS_NOEXEC, "size=4k,mode=0555") != 0)
        return false;
    return chroot("/tmp") == 0 && chdir("/") == 0;
}

// Without namespaces: a fresh directory, entered and removed at once, so that
// relative names lead nowhere and nothing is left behind.
void enterRemovedDirectory()
{
    char folder[] = "/tmp/weathering-decode-XXXXXX";
    if (mkdtemp(folder) && chdir(folder) == 0)
        rmdir(folder);
}

// Landlock's file-system rights the running kernel knows, by its ABI version.
std::uint64_t landlockFileRights(long abi)
{
    std::uint64_t rights = (1ULL << 13) - 1;  // version 1: execute ... make symlink
    if (abi >= 2)
        rights |= 1ULL << 13;  // refer
    if (abi >= 3)
        rights |= 1ULL << 14;  // truncate
    if (abi >= 5)
        rights |= 1ULL << 15;  // ioctl on devices
    return rights;
}

// A Landlock domain that handles every file-system right and grants none.
bool denyAllFileAccess()
{
#if defined(SYS_landlock_create_ruleset) && defined(SYS_landlock_restrict_self)
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, 1U /* version query */);
    if (abi < 1)
        return false;
    struct {
        std::uint64_t handledAccessFs;
    } ruleset = {landlockFileRights(abi)};
    const long fd = syscall(SYS_landlock_create_ruleset, &ruleset, sizeof ruleset, 0U);
    if (fd < 0)
        return false;
    const bool restricted = syscall(SYS_landlock_restrict_self, fd, 0U) == 0;
    close(static_cast<int>(fd));
    return restricted;
#else
    return false;
#endif
}

}  // namespace

bool limitResources(long megabytes, long cpuSeconds)
{
    // The tool kills a decoder that takes too long; this covers a tool that died first.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0)
        return false;
    const rlim_t bytes = static_cast<rlim_t>(megabytes) * 1024 * 1024;
    const rlim_t seconds = static_cast<rlim_t>(cpuSeconds);
    return setLimit(RLIMIT_AS, bytes, bytes) && setLimit(RLIMIT_CPU, seconds, seconds + 1) &&
        setLimit(RLIMIT_FSIZE, 0, 0) && setLimit(RLIMIT_CORE, 0, 0) && setLimit(RLIMIT_NPROC, 0, 0);
}

HiddenFileSystem hideFileSystem()
{
    HiddenFileSystem hidden;
    hidden.emptyRoot = enterEmptyRoot();
    if (!hidden.emptyRoot)
        enterRemovedDirectory();
    // Landlock (and seccomp after it) need this when the process is not privileged.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return hidden;
    hidden.landlock = denyAllFileAccess();
    return hidden;
}

bool confineToDecoding(int replyFd)
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_KILL_PROCESS);
    if (!filter)
        return false;
    // The file was read whole before this: no read, seek or stat is left, so no
    // call that takes a path (newfstatat among them) is allowed.
    bool ok = allowOnFd(filter, SCMP_SYS(write), replyFd) &&  // the reply
        allow(filter, SCMP_SYS(brk)) &&                       // the heap
        allow(filter, SCMP_SYS(munmap)) &&                    // freeing large blocks
        allow(filter, SCMP_SYS(mremap)) &&                    // growing them (realloc)
        allow(filter, SCMP_SYS(sysinfo)) &&                   // the TIFF reader sizes buffers by RAM
        allow(filter, SCMP_SYS(exit_group));                  // the end
    // Large blocks (malloc's mmap), never executable: new code would let a
    // take-over do more.
    ok = ok &&
        seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(mmap), 1, SCMP_A2(SCMP_CMP_MASKED_EQ, PROT_EXEC, 0)) == 0;
    ok = ok && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return ok;
}
