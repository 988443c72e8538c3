// How a fuzz target reports a finding. Scratch directories and files come
// from the tests' support library (tests/support/temp_dir.h).
#pragma once

#include <string>

namespace scratch {

// Stops the process with a message; libFuzzer reports it as a finding.
[[noreturn]] void fail(const char* what, const std::string& detail);

} // namespace scratch
