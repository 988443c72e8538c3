// Entry names: which names the packer stores and extracts, and how a command
// line argument becomes a stored name.
#pragma once

#include "format/package_format.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vempack {

constexpr std::size_t kMaxNameLength = kEntryNameBufferSize - 1;

// Why `name` cannot be an entry name, or an empty string when it can. A good
// name passes the stub's own check (format/entry_name.h) and is one plain
// Windows file name: no levels, nothing the file system would alter.
std::string nameProblem(const std::string& name);

// Index of the first name that repeats an earlier one, ignoring ASCII case
// (Windows file names are case-insensitive, so both would land in one file).
std::optional<std::size_t> findDuplicateName(const std::vector<std::string>& names);

// `name` with every byte outside printable ASCII shown as \xNN, for messages
// and listings.
std::string displayName(const std::string& name);

// An input file and the name it is stored under.
struct InputSpec {
    std::string name;
    std::string path;
};

// "NAME=PATH" stores PATH under NAME (split at the first '='); a plain PATH is
// stored under its base name.
InputSpec parseInputSpec(const std::string& argument);

} // namespace vempack
