#include "PathLookups.h"

#include <fcntl.h>
#include <linux/stat.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

const char* const target = "/etc/passwd";

struct Lookup {
    const char* name;
    long (*call)();
};

char buffer[4096];
struct stat info;

const Lookup lookups[] = {
    {"open", [] { return syscall(SYS_open, target, O_RDONLY); }},
    {"openat", [] { return syscall(SYS_openat, AT_FDCWD, target, O_RDONLY); }},
    {"openat2",
     [] {
         const unsigned long long how[3] = {O_RDONLY, 0, 0};
         return syscall(437 /* openat2 */, AT_FDCWD, target, how, sizeof how);
     }},
    {"open the working folder", [] { return syscall(SYS_openat, AT_FDCWD, ".", O_RDONLY | O_DIRECTORY); }},
    {"stat", [] { return syscall(SYS_stat, target, &info); }},
    {"lstat", [] { return syscall(SYS_lstat, target, &info); }},
    {"newfstatat on stdin with a path", [] { return syscall(SYS_newfstatat, 0, target, &info, 0); }},
    {"newfstatat with AT_EMPTY_PATH and a path",
     [] { return syscall(SYS_newfstatat, 0, target, &info, AT_EMPTY_PATH); }},
    {"statx", [] { return syscall(SYS_statx, AT_FDCWD, target, 0, STATX_BASIC_STATS, buffer); }},
    {"access", [] { return syscall(SYS_access, target, F_OK); }},
    {"faccessat2", [] { return syscall(439 /* faccessat2 */, AT_FDCWD, target, F_OK, 0); }},
    {"readlink", [] { return syscall(SYS_readlink, "/proc/self/exe", buffer, sizeof buffer); }},
    {"statfs", [] { return syscall(SYS_statfs, "/etc", buffer); }},
    {"getxattr", [] { return syscall(SYS_getxattr, target, "user.x", buffer, sizeof buffer); }},
    {"chdir", [] { return syscall(SYS_chdir, "/etc"); }},
    {"mkdir", [] { return syscall(SYS_mkdir, "/tmp/weathering-probe-made-this", 0700); }},
    {"execve",
     [] {
         const char* const argv[] = {"/bin/true", nullptr};
         return syscall(SYS_execve, "/bin/true", argv, nullptr);
     }},
};

}  // namespace

int pathLookupCount()
{
    return static_cast<int>(sizeof lookups / sizeof lookups[0]);
}

const char* pathLookupName(int which)
{
    return lookups[which].name;
}

long tryPathLookup(int which)
{
    return lookups[which].call();
}
