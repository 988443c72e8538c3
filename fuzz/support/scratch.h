// Where the fuzz targets keep their scratch files. A target writes and
// reads a few files for every input, so they go to a memory file system
// where the machine has one: on a disk the file system's own work, not the
// code under test, sets the pace.
#pragma once

#include <string>

namespace scratch {

// The directory scratch directories are made in: $VEMSETUP_FUZZ_SCRATCH
// when set (scripts/fuzz.sh makes one per run and removes it afterwards),
// else the first of /dev/shm and $XDG_RUNTIME_DIR that is a writable memory
// file system, else $TMPDIR, else /tmp.
std::string baseDirectory();

// A fresh directory in baseDirectory(), its path free of symbolic links,
// removed with everything in it when the object goes. A target stopped by a
// finding leaves it behind.
class Directory {
  public:
    explicit Directory(const char* tag);
    ~Directory();
    Directory(const Directory&) = delete;
    Directory& operator=(const Directory&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

} // namespace scratch
