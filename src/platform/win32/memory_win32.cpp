// Payload blocks come from the process heap directly; the C runtime's
// allocator would add nothing but code.
#include "platform/platform.h"

#include <windows.h>

namespace platform::win32 {

void* allocateMemory(size_t size) {
    return HeapAlloc(GetProcessHeap(), 0, size);
}

void* reallocateMemory(void* block, size_t size) {
    if (block == NULL) {
        return allocateMemory(size);
    }
    return HeapReAlloc(GetProcessHeap(), 0, block, size);
}

void freeMemory(void* block) {
    // HeapFree leaves a null block undefined; callers may free what they
    // never obtained.
    if (block != NULL) {
        HeapFree(GetProcessHeap(), 0, block);
    }
}

} // namespace platform::win32
