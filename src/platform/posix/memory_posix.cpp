// Payload blocks. Small ones come from the C library's heap. Blocks of
// 2 MiB or more are mapped on their own, start on a 2 MiB boundary and have
// the huge pages inside them advised as such: filling a 200 MB output
// buffer then takes about a hundred page faults instead of fifty thousand,
// and on a virtual machine the faults, not the zeroing, are what fresh
// memory costs. Huge pages only fill whole aligned 2 MiB ranges inside a
// block, and the blocks are filled, so no more memory becomes resident than
// with small pages; the mapped blocks carry no header either.
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

// The mapped blocks alive, found by address. The stub holds a handful at
// once (compressed data, output, dictionary, entry buffer); when the table
// is full, a block simply comes from the heap.
struct MappedBlock {
    unsigned char* data;
    size_t length;
};
MappedBlock gMapped[16];

MappedBlock* findMapped(const void* data) {
    for (MappedBlock& block : gMapped) {
        if (data != nullptr && block.data == data) {
            return &block;
        }
    }
    return nullptr;
}

size_t roundUp(size_t value, size_t unit) {
    return (value + unit - 1) & ~(unit - 1);
}

size_t pageSize() {
    static const size_t page = static_cast<size_t>(getpagesize());
    return page;
}

// The advice covers the whole mapping, so that it stays one area the
// kernel can resize in place.
void adviseHugePages(unsigned char* data, size_t length) {
#ifdef MADV_HUGEPAGE
    madvise(data, length, MADV_HUGEPAGE);
#else
    (void)data;
    (void)length;
#endif
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
        reinterpret_cast<unsigned char*>(roundUp(reinterpret_cast<uintptr_t>(start), kHugePage));
    if (data != start) {
        munmap(start, static_cast<size_t>(data - start));
    }
    const size_t after = static_cast<size_t>(start + reserved - (data + length));
    if (after != 0) {
        munmap(data + length, after);
    }
    return data;
}

// A mapping's length for `size` bytes; 0 when it cannot be expressed.
size_t mappingLength(size_t size) {
    return size > SIZE_MAX - 2 * kHugePage ? 0 : roundUp(size, pageSize());
}

void* allocateMapped(size_t size) {
    MappedBlock* slot = nullptr;
    for (MappedBlock& block : gMapped) {
        if (block.data == nullptr) {
            slot = &block;
            break;
        }
    }
    const size_t length = mappingLength(size);
    if (length == 0) {
        return nullptr;
    }
    if (slot == nullptr) {
        return malloc(size);
    }
    unsigned char* data = mapAligned(length);
    if (data == nullptr) {
        return nullptr;
    }
    adviseHugePages(data, length);
    *slot = {data, length};
    return data;
}

// Grows or shrinks a mapped block by moving its pages, never its bytes: in
// place when the space after it is free, else into a fresh aligned
// mapping, which keeps the data on its 2 MiB boundary.
void* remapMapped(MappedBlock* block, size_t size) {
    const size_t length = mappingLength(size);
    if (length == 0) {
        return nullptr;
    }
    if (length <= block->length) {
        if (length < block->length) {
            munmap(block->data + length, block->length - length);
        }
        block->length = length;
        return block->data;
    }
    void* moved = mremap(block->data, block->length, length, 0);
    if (moved == MAP_FAILED) {
        unsigned char* target = mapAligned(length);
        if (target == nullptr) {
            return nullptr;
        }
        moved = mremap(block->data, block->length, length, MREMAP_MAYMOVE | MREMAP_FIXED, target);
        if (moved == MAP_FAILED) {
            munmap(target, length);
            return nullptr;
        }
    }
    block->data = static_cast<unsigned char*>(moved);
    block->length = length;
    adviseHugePages(block->data, length);
    return block->data;
}

} // namespace

void* allocateMemory(size_t size) {
    return size >= kHugePage ? allocateMapped(size) : malloc(size == 0 ? 1 : size);
}

void* reallocateMemory(void* block, size_t size) {
    if (block == nullptr) {
        return allocateMemory(size);
    }
    MappedBlock* mapped = findMapped(block);
    if (mapped != nullptr) {
        return remapMapped(mapped, size);
    }
    if (size < kHugePage) {
        return realloc(block, size == 0 ? 1 : size);
    }
    // From the heap to a mapping of its own: the one copy this block makes.
    void* larger = allocateMapped(size);
    if (larger != nullptr) {
        const size_t used = malloc_usable_size(block);
        memcpy(larger, block, used < size ? used : size);
        free(block);
    }
    return larger;
}

void freeMemory(void* block) {
    MappedBlock* mapped = findMapped(block);
    if (mapped != nullptr) {
        munmap(mapped->data, mapped->length);
        *mapped = {nullptr, 0};
    } else {
        free(block);
    }
}

} // namespace posix
