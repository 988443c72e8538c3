// Payload blocks come from the C library's heap, as the Windows build's
// come from the process heap.
#include <stdlib.h>

#include "platform/posix/posix_impl.h"

namespace posix {

// A zero-byte request still gets a block of its own, as HeapAlloc gives one.
void* allocateMemory(size_t size) {
    return malloc(size == 0 ? 1 : size);
}

void* reallocateMemory(void* block, size_t size) {
    return realloc(block, size == 0 ? 1 : size);
}

void freeMemory(void* block) {
    free(block);
}

} // namespace posix
