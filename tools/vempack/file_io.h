// Whole-file reads and writes for the packer.
#pragma once

#include "bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vempack {

// Size of the regular file at `path`; refuses anything else.
std::uint64_t regularFileSize(const std::string& path);

// Reads a whole regular file; refuses one above kMaxArchiveSize before
// reading it.
Bytes readFile(const std::string& path);

// Writes `bytes` to `path` through an OutputFile (output_file.h), so a
// failed run never leaves a half-written output that a build would take
// for up to date.
void writeFileReplacing(const std::string& path, const Bytes& bytes);

// Creates or replaces the file at `levels` below `directory`, making the
// folders on the way. Each level is made and opened relative to its parent
// and never through a symbolic link, so nothing is written outside
// `directory`. Files get the mode the umask leaves of 0666, folders of 0777.
// `directory`/`levels`, after a last guard that no level could leave
// `directory` (the caller has judged the names already).
std::string pathBelow(const std::string& directory, const std::vector<std::string>& levels);

void writeFileBelow(const std::string& directory, const std::vector<std::string>& levels,
                    const Bytes& bytes);

} // namespace vempack
