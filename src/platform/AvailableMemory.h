#pragma once

// The memory the system can give without swapping (MemAvailable), in bytes, or less
// when the process's address space is limited (ulimit -v) to less than that; -1 when
// neither can be read.
long long availableMemoryBytes();
