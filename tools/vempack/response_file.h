// Response files: a setup's whole recipe in one file of the repository.
#pragma once

#include <string>
#include <vector>

namespace vempack {

// `args` with every "@FILE" after the command (and before a "--") replaced
// by the lines of FILE:
// one option or input a line, "-o setup.exe" taken as an option and its
// value; blank lines and lines starting with '#' ignored. Paths in it (the
// inputs, the values of -o, --stub, --payload, --icon) are relative to
// FILE's folder. Throws UsageError for a file that cannot be read or that
// names another response file.
std::vector<std::string> expandResponseFiles(const std::vector<std::string>& args);

} // namespace vempack
