// The uninstall lists in the uninstaller's folder, read whole and judged
// before anything is removed.
#pragma once

#include <stdint.h>

#include "format/uninstall_list.h"

// At most this many lists (installed versions) are read.
constexpr uint32_t kMaxUninstallLists = 16;

struct UninstallLists {
    uint32_t count;
    UninstallList lists[kMaxUninstallLists];
    void* blocks[kMaxUninstallLists];
    char names[kMaxUninstallLists][260];
};

// Reads every "Uninstall.*.lst" in `folder`. False when there is none, one
// cannot be read or is malformed, or there are too many; whatever was
// read is released then.
bool readUninstallLists(const char* folder, UninstallLists* lists);

void releaseUninstallLists(UninstallLists* lists);
