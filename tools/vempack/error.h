// Errors of the packer: every failure travels as a ToolError up to main, which
// prints it once and turns it into the exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace vempack {

// I/O errors and corrupt payloads.
constexpr int kExitFailure = 1;
// A bad command line, or an input that the packer refuses (names, sizes).
constexpr int kExitRefused = 2;

class ToolError : public std::runtime_error {
  public:
    ToolError(int exitStatus, const std::string& message)
        : std::runtime_error(message), exitStatus_(exitStatus) {}
    int exitStatus() const { return exitStatus_; }

  private:
    int exitStatus_;
};

// A command line that does not parse; main adds a pointer to --help.
class UsageError : public ToolError {
  public:
    explicit UsageError(const std::string& message) : ToolError(kExitRefused, message) {}
};

[[noreturn]] inline void fail(const std::string& message) {
    throw ToolError(kExitFailure, message);
}

[[noreturn]] inline void refuse(const std::string& message) {
    throw ToolError(kExitRefused, message);
}

} // namespace vempack
