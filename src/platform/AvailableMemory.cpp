#include "platform/AvailableMemory.h"

#include <cstdio>

long long availableMemoryBytes()
{
    std::FILE* info = std::fopen("/proc/meminfo", "r");
    if (!info) return -1;
    long long kibibytes = -1;
    char line[256];
    while (std::fgets(line, sizeof line, info))
        if (std::sscanf(line, "MemAvailable: %lld kB", &kibibytes) == 1) break;
    std::fclose(info);
    return kibibytes < 0 ? -1 : kibibytes * 1024;
}
