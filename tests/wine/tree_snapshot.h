// What a directory tree holds at one moment, to show what a run changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <system_error>
#include <vector>

namespace wine_test {

// Calls `visit` for everything beneath `root`, each directory before what
// it holds. Links are visited as links and never followed: a Wine prefix
// holds dosdevices/z:, a link to the host's root. False when `visit`
// returned false or the walk failed (then `ec` says why).
bool walkTree(const std::filesystem::path& root,
              const std::function<bool(const std::filesystem::directory_entry&)>& visit,
              std::error_code& ec);

struct TreeEntry {
    bool directory = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
};

// Relative path ("users/x/Temp/a.tmp") -> entry, for everything beneath
// `root`. Links are recorded as they are, never followed.
using TreeSnapshot = std::map<std::string, TreeEntry>;

TreeSnapshot snapshotTree(const std::filesystem::path& root);

// Every difference, as "added X", "removed X" or "changed X", leaving out
// `excluded` (a relative path) and everything beneath it.
std::vector<std::string> treeChanges(const TreeSnapshot& before, const TreeSnapshot& after,
                                     const std::string& excluded = "");

// The names in a directory, sorted; empty when it does not exist.
std::vector<std::string> directoryNames(const std::filesystem::path& directory);

} // namespace wine_test
