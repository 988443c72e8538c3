// Uninstall.exe and its list in a described setup.
#include "uninstaller.h"

#include "error.h"
#include "file_io.h"
#include "format/uninstall_list.h"
#include "names.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vempack {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUninstallerName = "Uninstall.exe";

} // namespace

std::string uninstallerBeside(const std::string& stubPath) {
    const fs::path stub(stubPath);
    std::string name = stub.filename().string();
    const std::string from = "vemsetup";
    if (name.rfind(from, 0) == 0) {
        name = "vemuninstall" + name.substr(from.size());
    } else {
        name = "vemuninstall.exe";
    }
    return (stub.parent_path() / name).string();
}

std::string uninstallListName(const Bytes& list) {
    // FNV-1a: a name that changes with the contents, so that each version's
    // list survives the next version's install.
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t byte : list) {
        hash = (hash ^ byte) * 16777619u;
    }
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", hash);
    return std::string("Uninstall.") + digits + ".lst";
}

Bytes uninstallList(const Bytes& description, const Package& package, const std::string& listName) {
    Bytes bytes(kUninstallListMagic, kUninstallListMagic + sizeof kUninstallListMagic);
    appendLe(bytes, kUninstallListVersion, 2);
    appendLe(bytes, 0, 2);
    appendLe(bytes, description.size(), 4);
    bytes.insert(bytes.end(), description.begin(), description.end());
    std::vector<std::string> names;
    for (const PackageEntry& entry : package.entries) {
        names.push_back(entry.name);
    }
    if (!listName.empty()) {
        names.push_back(listName);
    }
    if (names.size() > kMaxUninstallEntries) {
        refuse("too many files for the uninstall list (at most " +
               std::to_string(kMaxUninstallEntries) + ")");
    }
    appendLe(bytes, names.size(), 4);
    for (const std::string& name : names) {
        appendLe(bytes, name.size(), 2);
        bytes.insert(bytes.end(), name.begin(), name.end());
    }
    if (bytes.size() > kMaxUninstallListSize) {
        refuse("the uninstall list would exceed " + std::to_string(kMaxUninstallListSize) +
               " bytes");
    }
    return bytes;
}

void addUninstaller(const ProductOptions& product, const std::string& uninstallerPath,
                    Package& package, const CodePage& codePage) {
    if (product.noUninstaller) {
        return;
    }
    const std::wstring wanted = foldedCase(kUninstallerName);
    for (const PackageEntry& entry : package.entries) {
        if (foldedCase(codePage.toUtf8(entry.name).value_or(entry.name)) == wanted) {
            refuse("the files hold their own \"Uninstall.exe\"; a described setup brings its "
                   "uninstaller there (give --no-uninstaller to keep yours)");
        }
    }
    std::error_code error;
    if (!fs::is_regular_file(uninstallerPath, error)) {
        refuse("no uninstaller found at " + uninstallerPath +
               " (it is built beside the stub; or give --no-uninstaller)");
    }
    package.entries.push_back({kUninstallerName, readFile(uninstallerPath)});
}

void addUninstallList(const ProductOptions& product, const Bytes& description, Package& package) {
    if (product.noUninstaller) {
        return;
    }
    // The name depends on the list, which names itself: the name is made
    // from the list without it, then added.
    const std::string name = uninstallListName(uninstallList(description, package, ""));
    package.entries.push_back({name, uninstallList(description, package, name)});
}

} // namespace vempack
