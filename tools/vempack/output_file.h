// The file a command writes, made through a private temporary file beside it.
#pragma once

#include "bytes.h"

#include <functional>
#include <string>

namespace vempack {

// Creates its temporary file (exclusively, under a name no other run uses)
// in the output's folder as soon as it is made, so that a missing or
// unwritable folder fails before any work. commit() writes the bytes,
// renames the temporary file over the output and reads the output back:
// when another process replaced it in the meantime, commit fails rather
// than report that other file as this run's. Unless committed, the
// temporary file is removed.
class OutputFile {
  public:
    explicit OutputFile(std::string path);
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    const std::string& path() const { return path_; }
    const std::string& temporaryPath() const { return temporary_; }

    // `afterRename` runs between the rename and the check (tests use it to
    // play the other process).
    void commit(const Bytes& bytes, const std::function<void()>& afterRename = {});

  private:
    std::string path_;
    std::string temporary_;
    int fd_ = -1;
};

} // namespace vempack
