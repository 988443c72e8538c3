// The stand-in's helpers over the host file system: Windows paths mapped the
// way Wine maps them, files rewritten or replaced whole, the profile folder.
#pragma once

#include <stddef.h>
#include <sys/types.h>

#include <string>

namespace posix {

// Writes the host path for `windowsPath` into `out` (outSize bytes):
// backslashes become '/', the drive "Z:" is the host root and every other
// drive does not exist. In a double-byte code page a trail byte 0x5C is part
// of its character, not a separator. False for a missing drive or a path
// that does not fit.
bool mapPath(const char* windowsPath, char* out, size_t outSize);

// Opens (creating it with `mode` if need be) the host file for writing, and
// reading too when `readable`, and empties it, the way O_TRUNC does, but only
// when it is not empty already: ext4 flushes a file that was truncated at
// its close, and the reserved temporary files are always empty. The
// descriptor, or -1.
int openForRewrite(const char* host, bool readable, mode_t mode);

// Replaces a file whole or not at all: the bytes go to a temporary file
// beside it, which is then renamed over it; on failure the temporary file is
// removed and the old file stays as it was. The new file keeps the old one's
// permission bits.
bool writeFileAtomically(const char* hostPath, const void* data, size_t size);

// The whole file into `text`: 0, or the errno of the step that failed.
int readFile(const char* hostPath, std::string& text);

// Creates every missing level of an absolute directory path; true when the
// directory is there afterwards.
bool makeDirectories(const std::string& directory);

// Where the stand-in keeps what Windows keeps in the profile: $XDG_DATA_HOME,
// else $HOME/.local/share (relative values do not count); empty when
// neither says.
std::string dataHome();

} // namespace posix
