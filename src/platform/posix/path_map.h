// Maps Windows-style paths onto the host file system, the way Wine does:
// backslashes become '/', the drive "Z:" is the host root, and every other
// drive letter is a drive that does not exist (the mapping fails). In a
// double-byte code page a trail byte 0x5C is part of its character, not a
// separator.
#pragma once

#include <stddef.h>

namespace posix {

// Writes the host path for `windowsPath` into `out` (outSize bytes). False
// when the path names a missing drive or does not fit.
bool mapPath(const char* windowsPath, char* out, size_t outSize);

} // namespace posix
