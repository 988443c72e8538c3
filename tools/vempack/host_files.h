// The few file calls of the packer that differ between Linux and Windows.
#pragma once

#include "bytes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vempack {

// Paths are UTF-8 text everywhere in the packer; these convert them for the
// C++ library, which on Windows would read narrow text in the ANSI code page.
inline std::filesystem::path hostPath(const std::string& utf8) {
    return std::filesystem::u8path(utf8);
}
inline std::string hostText(const std::filesystem::path& path) {
    return path.u8string();
}

// The arguments after the program name, as UTF-8 (on Windows taken from the
// wide command line, whatever the ANSI code page).
std::vector<std::string> commandLineArguments(int argc, char** argv);

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

// The packer's own executable (as /proc/self/exe names it on Linux, so a
// symbolic link to it changes nothing); empty when it cannot tell.
std::string executablePath();

// Whether the stub is looked for beside the packer first: on Windows, where
// both are copied into one folder.
bool stubBesideExecutable();

} // namespace vempack
