// How a fuzz target reports a finding.
#pragma once

#include <string>

namespace finding {

// Stops the process with a message; libFuzzer reports it as a finding.
[[noreturn]] void fail(const char* what, const std::string& detail);

} // namespace finding
