// Makes a described product known to the system under its own names:
// document icon and association backup (when it has a document type),
// shortcuts, its uninstall entry and its install path.
#pragma once

#include <stdint.h>

#include "common/exit_code.h"
#include "format/product_description.h"
#include "system/registration.h"

// Where a described product is installed for: every user of the machine or
// the one running the setup.
enum class InstallScope { kAny, kMachine, kUser };

// The uninstall key below both roots, and the uninstaller's file name.
constexpr const char* kUninstallKeyPrefix =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr const char* kProductUninstallerFileName = "Uninstall.exe";

// True when the machine-wide uninstall list can be opened for writing.
bool machineRootWritable();

// Machine-wide for kMachine, for the user for kUser, and for kAny
// machine-wide when that root is writable.
bool isMachineWide(InstallScope scope);

// "Software\<publisher>\<product>", or "Software\<product>" without a
// publisher, and the uninstall key; into 260-byte buffers.
bool productKeys(const ProductDescription& product, char* applicationKey, char* uninstallKey);

// Registers `product` installed in `targetDirectory`. Every value goes
// under one root: the machine-wide one when `machineWide` and its first
// value can be written there, else the user's. Returns kExitSuccess,
// kExitShortcut or kExitRegistryWrite.
ExitCode registerProduct(const char* targetDirectory, ShortcutRequest shortcuts,
                         const ProductDescription& product, bool machineWide);
