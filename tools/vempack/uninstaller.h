// The uninstaller a described setup brings: Uninstall.exe at the top of the
// target and the list of what the setup puts there
// (format/uninstall_list.h).
#pragma once

#include "archive.h"
#include "code_page.h"
#include "product.h"

#include <string>

namespace vempack {

// The uninstaller program beside `stubPath`: vemsetup.exe goes with
// vemuninstall.exe, vemsetup64.exe with vemuninstall64.exe.
std::string uninstallerBeside(const std::string& stubPath);

// The list's file name for its contents: "Uninstall.<8 hex digits>.lst".
std::string uninstallListName(const Bytes& list);

// The list of `package`'s entries (the list itself included) and the
// product.
Bytes uninstallList(const Bytes& description, const Package& package, const std::string& listName);

// Adds Uninstall.exe (from `uninstallerPath`) to `package`; refuses a
// package that holds its own "Uninstall.exe" at the top. Without an
// uninstaller (--no-uninstaller) nothing is added.
void addUninstaller(const ProductOptions& product, const std::string& uninstallerPath,
                    Package& package, const CodePage& codePage);

// Adds the uninstall list for `description` to `package`.
void addUninstallList(const ProductOptions& product, const Bytes& description, Package& package);

} // namespace vempack
