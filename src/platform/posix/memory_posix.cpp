#include <stdlib.h>

#include "platform/posix/posix_impl.h"

namespace posix {

void* allocateMemory(size_t size) {
    return malloc(size == 0 ? 1 : size);
}

void* reallocateMemory(void* block, size_t size) {
    // Large blocks are moved by remapping pages, not by copying them.
    return realloc(block, size == 0 ? 1 : size);
}

void freeMemory(void* block) {
    free(block);
}

} // namespace posix
