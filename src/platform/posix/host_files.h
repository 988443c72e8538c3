// Whole-file helpers of the stand-in's own stores (registry files, links).
#pragma once

#include <stddef.h>

#include <string>

namespace posix {

// Replaces a file whole or not at all: the bytes go to a temporary file
// beside it, which is then renamed over it. 0 on success, otherwise the
// errno of the step that failed (the temporary file is removed then, and the
// old file stays as it was). The new file keeps the old one's permission bits.
int writeFileAtomically(const char* hostPath, const void* data, size_t size);

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
