// Opening a file to be rewritten from its start.
#pragma once

#include <sys/types.h>

namespace posix {

// Opens (creating it with `mode` if need be) the host file for writing, and reading too
// when `readable`, and empties it, the way O_TRUNC does, but only when it
// is not empty already: ext4 flushes a file that was truncated at its
// close, and the reserved temporary files are always empty. The
// descriptor, or -1.
int openForRewrite(const char* host, bool readable, mode_t mode);

} // namespace posix
