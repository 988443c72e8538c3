// Payload blocks. Small ones come from the C library's heap. Blocks of
// 2 MiB or more are mapped on their own, start on a 2 MiB boundary and have
// the huge pages inside them advised as such: filling a 200 MB output
// buffer then takes about a hundred page faults instead of fifty thousand,
// and on a virtual machine the faults, not the zeroing, are what fresh
// memory costs. Only whole huge pages are advised and every block is
// filled, so no more memory becomes resident than with small pages.
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "platform/posix/posix_impl.h"

namespace posix {

namespace {

constexpr size_t kHugePage = size_t{2} << 20;

// Precedes every block. A mapped block's header sits at the end of the page
// before its data, the first page of the mapping.
struct alignas(16) BlockHeader {
    size_t size;         // what the caller asked for
    size_t mappedLength; // the whole mapping, header page included; 0 on the heap
};

// The system's page: a mapping starts on one, and the header takes one.
size_t pageSize() {
    static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

BlockHeader* headerOf(void* block) {
    return static_cast<BlockHeader*>(block) - 1;
}

size_t roundUp(size_t value, size_t unit) {
    return (value + unit - 1) & ~(unit - 1);
}

// The mapping's length for `size` bytes of data, 0 when it cannot be
// expressed.
size_t mappingLength(size_t size) {
    if (size > SIZE_MAX - 2 * kHugePage) {
        return 0;
    }
    return pageSize() + roundUp(size, pageSize());
}

// The advice covers the whole mapping, so that it stays one area the
// kernel can resize; huge pages only ever fill whole aligned 2 MiB ranges
// inside it, and those are the huge pages inside the data.
void adviseHugePages(unsigned char* base, size_t length) {
#ifdef MADV_HUGEPAGE
    madvise(base, length, MADV_HUGEPAGE);
#else
    (void)base;
    (void)length;
#endif
}

// Reserves `length` bytes whose second page starts on a 2 MiB boundary;
// the rest of the over-sized reservation goes back at once.
unsigned char* reserveAligned(size_t length) {
    const size_t reserved = length + kHugePage;
    void* raw = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) {
        return nullptr;
    }
    unsigned char* start = static_cast<unsigned char*>(raw);
    const uintptr_t data = roundUp(reinterpret_cast<uintptr_t>(start) + pageSize(), kHugePage);
    unsigned char* base = reinterpret_cast<unsigned char*>(data - pageSize());
    if (base != start) {
        munmap(start, static_cast<size_t>(base - start));
    }
    const size_t after = static_cast<size_t>(start + reserved - (base + length));
    if (after != 0) {
        munmap(base + length, after);
    }
    return base;
}

void* finishMapped(unsigned char* base, size_t length, size_t size) {
    unsigned char* data = base + pageSize();
    BlockHeader* header = headerOf(data);
    header->size = size;
    header->mappedLength = length;
    adviseHugePages(base, length);
    return data;
}

void* allocateMapped(size_t size) {
    const size_t length = mappingLength(size);
    unsigned char* base = length == 0 ? nullptr : reserveAligned(length);
    return base == nullptr ? nullptr : finishMapped(base, length, size);
}

void* allocateHeap(size_t size) {
    if (size > SIZE_MAX - sizeof(BlockHeader)) {
        return nullptr;
    }
    BlockHeader* header = static_cast<BlockHeader*>(malloc(sizeof(BlockHeader) + size));
    if (header == nullptr) {
        return nullptr;
    }
    header->size = size;
    header->mappedLength = 0;
    return header + 1;
}

// Grows or shrinks a mapped block by moving its pages, never its bytes: in
// place when the space after it is free, else into a fresh aligned
// reservation, which keeps the data on its 2 MiB boundary.
void* remapMapped(void* block, size_t size) {
    BlockHeader* header = headerOf(block);
    unsigned char* base = static_cast<unsigned char*>(block) - pageSize();
    const size_t oldLength = header->mappedLength;
    const size_t length = mappingLength(size);
    if (length == 0) {
        return nullptr;
    }
    if (length <= oldLength) {
        if (length < oldLength) {
            munmap(base + length, oldLength - length);
        }
        return finishMapped(base, length, size);
    }
    if (mremap(base, oldLength, length, 0) != MAP_FAILED) {
        return finishMapped(base, length, size);
    }
    unsigned char* target = reserveAligned(length);
    if (target == nullptr) {
        return nullptr;
    }
    if (mremap(base, oldLength, length, MREMAP_MAYMOVE | MREMAP_FIXED, target) == MAP_FAILED) {
        munmap(target, length);
        return nullptr;
    }
    return finishMapped(target, length, size);
}

} // namespace

void* allocateMemory(size_t size) {
    return size >= kHugePage ? allocateMapped(size) : allocateHeap(size);
}

void* reallocateMemory(void* block, size_t size) {
    if (block == nullptr) {
        return allocateMemory(size);
    }
    BlockHeader* header = headerOf(block);
    if (header->mappedLength != 0) {
        return remapMapped(block, size);
    }
    if (size < kHugePage) {
        BlockHeader* moved = static_cast<BlockHeader*>(realloc(header, sizeof(BlockHeader) + size));
        if (moved == nullptr) {
            return nullptr;
        }
        moved->size = size;
        return moved + 1;
    }
    // From the heap to a mapping of its own: the one copy this block makes.
    void* mapped = allocateMapped(size);
    if (mapped != nullptr) {
        memcpy(mapped, block, header->size);
        free(header);
    }
    return mapped;
}

void freeMemory(void* block) {
    if (block == nullptr) {
        return;
    }
    BlockHeader* header = headerOf(block);
    if (header->mappedLength != 0) {
        munmap(static_cast<unsigned char*>(block) - pageSize(), header->mappedLength);
    } else {
        free(header);
    }
}

} // namespace posix
