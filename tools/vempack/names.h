// Entry names: which names the packer stores and extracts, how a name splits
// into levels, which names Windows would not keep apart, and how names are
// shown.
#pragma once

#include "code_page.h"
#include "format/package_format.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vempack {

constexpr std::size_t kMaxNameLength = kEntryNameBufferSize - 1;

// The levels of a stored name, split at every backslash that is a character
// of its own (in a double-byte code page a trail byte 0x5C is none).
std::vector<std::string> nameLevels(const std::string& name, LeadByteTest isLeadByte);

// The levels of a name given on the command line (NAME=PATH, --launch):
// '/' and '\' both separate them. Empty levels stay, for the name check to
// point at.
std::vector<std::string> givenNameLevels(const std::string& name);

// Levels joined with the archive's separator, '\'.
std::string joinLevels(const std::vector<std::string>& levels);

// Why `name` cannot be an entry name, or an empty string when it can. A good
// name passes the stub's own check (format/entry_name.h) with the lead bytes
// of its code page, and the packer's: every level a name that Windows stores
// exactly as given (no trailing dot or blank), at most 259 bytes in all.
std::string nameProblem(const std::string& name, LeadByteTest isLeadByte = neverLeadByte);

// Two names that would land on one path: the same name ignoring case, or a
// name that is a file for one entry and a folder for another ("a", "a\b").
struct NameClash {
    std::size_t index;
    std::size_t earlier;
    bool fileAndFolder;
};

// The first clash among `keys`: names as foldedCase gives them, levels
// separated by '\'.
std::optional<NameClash> findNameClash(const std::vector<std::wstring>& keys);

// `name` with every byte outside printable ASCII shown as \xNN ('\' stays
// as it is), for messages and listings.
std::string displayName(const std::string& name);

// UTF-8 text as it is, but for control characters; text that is not UTF-8
// as displayName shows it.
std::string displayText(const std::string& utf8);

// A stored name in the code page's characters where it converts, else with
// its bytes escaped.
std::string displayStoredName(const std::string& name, const CodePage& codePage);

} // namespace vempack
