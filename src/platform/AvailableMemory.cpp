#include "platform/AvailableMemory.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

// The first "<key> <number> kB" line of a /proc file, in bytes; -1 when there is none.
long long kibibytesField(const char* file, const char* format)
{
    std::FILE* info = std::fopen(file, "r");
    if (!info)
        return -1;
    long long kibibytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, info))
        if (std::sscanf(line, format, &kibibytes) == 1)
            break;
    std::fclose(info);
    return kibibytes < 0 ? -1 : kibibytes * 1024;
}

// What an address-space limit (ulimit -v) still allows; -1 without one.
long long addressSpaceLeft()
{
    struct rlimit limit = {};
    if (getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return -1;
    const long long used = std::max(0LL, kibibytesField("/proc/self/status", "VmSize: %lld kB"));
    return std::max(0LL, static_cast<long long>(limit.rlim_cur) - used);
}

}  // namespace

long long availableMemoryBytes()
{
    const long long system = kibibytesField("/proc/meminfo", "MemAvailable: %lld kB");
    const long long process = addressSpaceLeft();
    if (system < 0)
        return process;
    return process < 0 ? system : std::min(system, process);
}
