// The decoder runs under a memory limit, and the image library does not always
// survive a failed allocation (some of its readers go on with a null buffer).
// So every failed allocation ends the process at once with a status that says
// "out of memory", before a reader can stumble over it.

#include <unistd.h>

#include <cstddef>

#include "decodereply/DecodeReply.h"

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);

namespace {
void* orOutOfMemoryExit(void* pointer)
{
    if (!pointer)
        _exit(decoderOutOfMemoryStatus);
    return pointer;
}
}  // namespace

void* malloc(std::size_t size)
{
    return orOutOfMemoryExit(__libc_malloc(size == 0 ? 1 : size));
}

void* calloc(std::size_t count, std::size_t size)
{
    // An overflowing count * size fails in glibc as well; it is a request no
    // memory can meet, so it counts as out of memory too.
    return orOutOfMemoryExit(__libc_calloc(count == 0 ? 1 : count, size == 0 ? 1 : size));
}

void* realloc(void* pointer, std::size_t size)
{
    if (size == 0)
        size = 1;  // keeps "null means failed" true
    return orOutOfMemoryExit(__libc_realloc(pointer, size));
}

void* memalign(std::size_t alignment, std::size_t size)
{
    return orOutOfMemoryExit(__libc_memalign(alignment, size == 0 ? 1 : size));
}

void* aligned_alloc(std::size_t alignment, std::size_t size)
{
    return memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size)
{
    *result = memalign(alignment, size);
    return 0;
}
}
