// Files and directories on the host, each call a handful of system calls:
// the targets write, read, list and clear their scratch trees for every
// input. Failures of the scratch area itself are reported as findings.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace hosttree {

using Bytes = std::vector<unsigned char>;

// Creates or empties `path` and writes `size` bytes into it.
void writeFile(const std::string& path, const unsigned char* data, size_t size);

// The whole file; false when it cannot be opened.
bool readFile(const std::string& path, Bytes* bytes);

// Symbolic links count, followed or not.
bool exists(const std::string& path);

void makeDirectory(const std::string& path);

// One directory's entries, sorted, without "." and "..": a directory's
// name ends with '/', a symbolic link or anything else but a regular file
// or a directory ends with '@'.
std::vector<std::string> list(const std::string& directory);

// What a directory held: its files with their bytes and its directories,
// by paths relative to it, levels separated by '/'; anything else (a link,
// a device) is listed in `others`.
struct Tree {
    std::map<std::string, Bytes> files;
    std::set<std::string> directories;
    std::set<std::string> others;
};

// Reads everything below `directory` and removes it; the directory itself
// stays, empty.
Tree takeTree(const std::string& directory);

// Removes `path` and everything below it; nothing when it is not there.
void removeTree(const std::string& path);

// What tells a file rewritten, replaced or touched from the one first seen.
struct Stamp {
    ino_t inode;
    off_t size;
    int64_t modified;
    int64_t changed;
    bool operator==(const Stamp& other) const {
        return inode == other.inode && size == other.size && modified == other.modified &&
               changed == other.changed;
    }
};

// The stamp of `path`; a stamp of zeros when it is not there.
Stamp stamp(const std::string& path);

// A file or directory stamped now and compared later through a descriptor
// kept open, so that no path is looked up again. A file replaced by a
// rename keeps its old stamp here; its directory's stamp shows the rename.
class Watched {
  public:
    explicit Watched(const std::string& path);
    ~Watched();
    Watched(const Watched&) = delete;
    Watched& operator=(const Watched&) = delete;
    bool unchanged() const;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    int descriptor_;
    Stamp stamp_;
};

} // namespace hosttree
