// Replaces a file whole or not at all: the bytes go to a temporary file
// beside it, which is then renamed over it.
#pragma once

#include <stddef.h>

namespace posix {

// 0 on success, otherwise the errno of the step that failed (the temporary
// file is removed then, and the old file stays as it was). The new file
// keeps the old one's permission bits.
int writeFileAtomically(const char* hostPath, const void* data, size_t size);

} // namespace posix
