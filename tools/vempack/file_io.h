// Whole-file reads and writes for the packer.
#pragma once

#include "bytes.h"

#include <cstdint>
#include <string>

namespace vempack {

// Size of the regular file at `path`; refuses anything else.
std::uint64_t regularFileSize(const std::string& path);

// Reads a whole regular file; refuses one above kMaxArchiveSize before
// reading it.
Bytes readFile(const std::string& path);

// Writes `bytes` to a temporary file beside `path` and renames it over
// `path`, so a failed run never leaves a half-written output that a build
// would take for up to date.
void writeFileReplacing(const std::string& path, const Bytes& bytes);

// Creates or replaces the file `name` directly inside `directory`. `name` must
// be a single path component; a symbolic link in its place is refused, so
// nothing is written outside `directory`.
void writeFileInDirectory(const std::string& directory, const std::string& name,
                          const Bytes& bytes);

} // namespace vempack
