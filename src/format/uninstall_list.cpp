#include "format/uninstall_list.h"

#include <string.h>

#include "common/little_endian.h"
#include "format/entry_name.h"
#include "format/package_format.h"

namespace {

bool takeName(const unsigned char** cursor, const unsigned char* end, char* name) {
    if (end - *cursor < 2) {
        return false;
    }
    const size_t length =
        static_cast<size_t>((*cursor)[0]) | (static_cast<size_t>((*cursor)[1]) << 8);
    *cursor += 2;
    if (length == 0 || length >= kEntryNameBufferSize ||
        static_cast<size_t>(end - *cursor) < length) {
        return false;
    }
    memset(name, 0, kEntryNameBufferSize);
    memcpy(name, *cursor, length);
    *cursor += length;
    return strlen(name) == length;
}

} // namespace

bool readUninstallList(const unsigned char* bytes, size_t size, UninstallList* list,
                       LeadByteTest isLeadByte) {
    memset(list, 0, sizeof *list);
    if (bytes == nullptr || size < kUninstallListFixedSize + 4 || size > kMaxUninstallListSize ||
        memcmp(bytes, kUninstallListMagic, sizeof kUninstallListMagic) != 0 ||
        (bytes[4] | (bytes[5] << 8)) != kUninstallListVersion || bytes[6] != 0 || bytes[7] != 0) {
        return false;
    }
    const size_t descriptionSize = readLe32(bytes + 8);
    if (descriptionSize > size - kUninstallListFixedSize - 4 ||
        !readProductDescription(bytes + kUninstallListFixedSize, descriptionSize, &list->product,
                                isLeadByte)) {
        return false;
    }
    const unsigned char* cursor = bytes + kUninstallListFixedSize + descriptionSize;
    list->entryCount = readLe32(cursor);
    list->entries = cursor + 4;
    list->end = bytes + size;
    if (list->entryCount > kMaxUninstallEntries) {
        return false;
    }
    cursor = list->entries;
    char name[kEntryNameBufferSize];
    for (uint32_t i = 0; i < list->entryCount; ++i) {
        if (!takeName(&cursor, list->end, name) || !isSafeEntryName(name, isLeadByte)) {
            return false;
        }
    }
    return cursor == list->end;
}

bool nextUninstallEntry(const UninstallList& list, const unsigned char** cursor, char* name) {
    return *cursor < list.end && takeName(cursor, list.end, name);
}
