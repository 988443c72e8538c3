// Throwaway directories and whole-file helpers for the fuzz targets.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace scratch {

using Bytes = std::vector<unsigned char>;

// A fresh directory under $TMPDIR (or /tmp), its path resolved so that no
// symbolic link is part of it. Removed when the process exits normally.
std::string makeRoot(const char* tag);

void writeFile(const std::string& path, const uint8_t* data, size_t size);
// The whole file; `exists` false (and no bytes) when it cannot be opened.
Bytes readFile(const std::string& path, bool* exists);
bool exists(const std::string& path);
void makeDirectory(const std::string& path);
void removeTree(const std::string& path);

// Every path under `root`, relative to it ("work", "work/dest", ...), with
// a '/' appended to directories; symbolic links are reported, not followed.
std::vector<std::string> listTree(const std::string& root);

// Stops the process with a message; libFuzzer reports it as a finding.
[[noreturn]] void fail(const char* what, const std::string& detail);

uint32_t readLe32(const uint8_t* bytes);

} // namespace scratch
