#include "tree_snapshot.h"

#include <algorithm>
#include <system_error>

namespace wine_test {

namespace fs = std::filesystem;

namespace {

bool isBeneath(const std::string& path, const std::string& excluded) {
    return !excluded.empty() && (path == excluded || path.rfind(excluded + "/", 0) == 0);
}

} // namespace

bool walkTree(const fs::path& root, const std::function<bool(const fs::directory_entry&)>& visit,
              std::error_code& ec) {
    ec.clear();
    auto it = fs::recursive_directory_iterator(root, fs::directory_options::none, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        // Never descend through a link, nor into an entry whose kind
        // cannot be told.
        std::error_code linkError;
        if (it->is_symlink(linkError) || linkError) {
            it.disable_recursion_pending();
        }
        if (!visit(*it)) {
            return false;
        }
    }
    return !ec;
}

TreeSnapshot snapshotTree(const fs::path& root) {
    TreeSnapshot snapshot;
    std::error_code ec;
    walkTree(
        root,
        [&](const fs::directory_entry& found) {
            std::error_code statusError;
            TreeEntry entry;
            const fs::file_status status = found.symlink_status(statusError);
            entry.directory = fs::is_directory(status);
            entry.size = fs::is_regular_file(status) ? found.file_size(statusError) : 0;
            entry.modified =
                fs::is_symlink(status) ? fs::file_time_type() : found.last_write_time(statusError);
            snapshot[found.path().lexically_relative(root).generic_string()] = entry;
            return true;
        },
        ec);
    return snapshot;
}

std::vector<std::string> treeChanges(const TreeSnapshot& before, const TreeSnapshot& after,
                                     const std::string& excluded) {
    std::vector<std::string> changes;
    for (const auto& [path, entry] : after) {
        if (isBeneath(path, excluded)) {
            continue;
        }
        const auto old = before.find(path);
        if (old == before.end()) {
            changes.push_back("added " + path);
        } else if (old->second.directory != entry.directory || old->second.size != entry.size ||
                   old->second.modified != entry.modified) {
            changes.push_back("changed " + path);
        }
    }
    for (const auto& [path, entry] : before) {
        if (!isBeneath(path, excluded) && after.count(path) == 0) {
            changes.push_back("removed " + path);
        }
    }
    return changes;
}

std::vector<std::string> directoryNames(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(directory, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace wine_test
