// The few file calls of the packer that differ between Linux and Windows.
#pragma once

#include "bytes.h"

#include <string>

namespace vempack {

// Opens a new file for writing, failing with errno EEXIST when `path`
// exists (a link included); the umask decides its mode, as for any file a
// tool writes. -1 and errno on failure.
int createExclusive(const std::string& path);

// Writes all of `bytes` to `fd`; fails naming `what`.
void writeWhole(int fd, const Bytes& bytes, const std::string& what);

// Closes `fd`; false (with errno) when a late write error shows.
bool closeFile(int fd);

unsigned long currentProcessId();

// Whether standard error is a terminal (progress is shown only there).
bool stderrIsTerminal();

} // namespace vempack
