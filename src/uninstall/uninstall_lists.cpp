#include "uninstall/uninstall_lists.h"

#include <string.h>

#include "common/bounded_text.h"
#include "payload/exact_io.h"
#include "platform/platform.h"

namespace {

// The whole file in a heap block, or null.
void* readWhole(const char* path, size_t* size) {
    platform::Stream stream = platform::openStream(path, "rb");
    if (stream == nullptr) {
        return nullptr;
    }
    void* block = nullptr;
    int64_t length = -1;
    if (platform::seekStream(stream, 0, platform::kSeekEnd) &&
        (length = platform::tellStream(stream)) > 0 &&
        static_cast<uint64_t>(length) <= kMaxUninstallListSize &&
        platform::seekStream(stream, 0, platform::kSeekSet) &&
        (block = platform::allocateMemory(static_cast<size_t>(length))) != nullptr &&
        !readExact(stream, block, static_cast<size_t>(length))) {
        platform::freeMemory(block);
        block = nullptr;
    }
    platform::closeStream(stream);
    *size = static_cast<size_t>(length);
    return block;
}

} // namespace

bool readUninstallLists(const char* folder, UninstallLists* lists) {
    memset(lists, 0, sizeof *lists);
    char pattern[kPathBufferSize];
    char name[kPathBufferSize];
    char path[kPathBufferSize];
    if (!joinPath(pattern, sizeof pattern, folder, kUninstallListPattern,
                  platform::isDbcsLeadByte)) {
        return false;
    }
    for (uint32_t index = 0;; ++index) {
        clearBuffer(name, sizeof name);
        if (!platform::findFileName(pattern, index, name)) {
            break;
        }
        size_t size = 0;
        void* block = nullptr;
        if (lists->count == kMaxUninstallLists ||
            !joinPath(path, sizeof path, folder, name, platform::isDbcsLeadByte) ||
            (block = readWhole(path, &size)) == nullptr) {
            releaseUninstallLists(lists);
            return false;
        }
        const uint32_t i = lists->count++;
        lists->blocks[i] = block;
        copyText(lists->names[i], sizeof lists->names[i], name);
        if (!readUninstallList(static_cast<const unsigned char*>(block), size, &lists->lists[i],
                               platform::isDbcsLeadByte)) {
            releaseUninstallLists(lists);
            return false;
        }
    }
    return lists->count != 0;
}

void releaseUninstallLists(UninstallLists* lists) {
    for (uint32_t i = 0; i < lists->count; ++i) {
        platform::freeMemory(lists->blocks[i]);
    }
    lists->count = 0;
}
