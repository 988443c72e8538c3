// Payload blocks. Small ones come from the C library's heap. Blocks of
// 2 MiB or more are mapped on their own, start on a 2 MiB boundary and have
// the huge pages inside them advised as such: filling a 200 MB output
// buffer then takes about a hundred page faults instead of fifty thousand.
// Huge pages only fill whole aligned 2 MiB ranges inside a block, and the
// blocks are filled, so no more memory becomes resident than with small
// pages; the mapped blocks carry no header either.
#include <malloc.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/posix/posix_impl.h"

namespace posix {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// The mapped blocks alive, found by address; a null entry is free. The stub
// holds a handful at once (compressed data, output, dictionary, entry
// buffer); when the table is full, a block simply comes from the heap.
struct MappedBlock {
    unsigned char* data;
    size_t length;
};
MappedBlock gMapped[16];

size_t pageSize() {
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

MappedBlock* findMapped(const void* data) {
    for (MappedBlock& block : gMapped) {
        if (block.data == data) {
            return &block;
        }
    }
    return nullptr;
}

// Maps `length` bytes (whole pages) starting on a 2 MiB boundary; the rest
// of the over-sized reservation goes back at once.
unsigned char* mapAligned(size_t length) {
    const size_t reserved = length + kHugePage;
    void* raw = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    unsigned char* start = static_cast<unsigned char*>(raw);
    unsigned char* data =
        start + (kHugePage - reinterpret_cast<uintptr_t>(start) % kHugePage) % kHugePage;
    if (data != start) {
        munmap(start, static_cast<size_t>(data - start));
    }
    if (data + length != start + reserved) {
        munmap(data + length, static_cast<size_t>(start + reserved - (data + length)));
    }
    return data;
}

// Makes (from a free entry) or resizes a mapped block by moving its pages,
// never its bytes: in place when the space after it is free, else into a
// fresh aligned mapping, which keeps the data on its 2 MiB boundary.
void* mapBlock(MappedBlock* block, size_t size) {
    const size_t page = pageSize();
    if (size > SIZE_MAX - 2 * kHugePage) {
        return nullptr;
    }
    const size_t length = (size + page - 1) & ~(page - 1);
    void* data = block->data ? mremap(block->data, block->length, length, 0) : MAP_FAILED;
    if (data == MAP_FAILED) {
        unsigned char* target = mapAligned(length);
        data = target && block->data ? mremap(block->data, block->length, length,
                                              MREMAP_MAYMOVE | MREMAP_FIXED, target)
                                     : target;
        if (data == MAP_FAILED) {
            munmap(target, length);
        }
        if (data == MAP_FAILED || data == nullptr) {
            return nullptr;
        }
    }
    block->data = static_cast<unsigned char*>(data);
    block->length = length;
    // The advice covers the whole mapping, so that it stays one area the
    // kernel can resize in place.
    madvise(data, length, MADV_HUGEPAGE);
    return data;
}

} // namespace

void* allocateMemory(size_t size) {
    if (size < kHugePage) {
        return malloc(size == 0 ? 1 : size);
    }
    MappedBlock* slot = findMapped(nullptr);
    if (slot == nullptr) {
        return malloc(size);
    }
    return mapBlock(slot, size);
}

void* reallocateMemory(void* block, size_t size) {
    MappedBlock* mapped = block ? findMapped(block) : nullptr;
    if (mapped) {
        return mapBlock(mapped, size);
    }
    if (size < kHugePage) {
        return realloc(block, size == 0 ? 1 : size);
    }
    // From the heap to a mapping of its own: the one copy this block makes.
    void* larger = allocateMemory(size);
    if (larger && block) {
        const size_t used = malloc_usable_size(block);
        memcpy(larger, block, used < size ? used : size);
        free(block);
    }
    return larger;
}

void freeMemory(void* block) {
    MappedBlock* mapped = block ? findMapped(block) : nullptr;
    if (mapped) {
        munmap(mapped->data, mapped->length);
        mapped->data = nullptr;
        mapped->length = 0;
    } else {
        free(block);
    }
}

} // namespace posix
