#pragma once

// The memory the system can give without swapping (MemAvailable), in bytes;
// -1 when it cannot be read.
long long availableMemoryBytes();
