// Makes the installed program known to the system: document icon,
// association backup, shortcuts, uninstall entry and install path.
#pragma once

#include "common/exit_code.h"

// The shortcuts the command line asks for ("/d", "/s").
struct ShortcutRequest {
    bool desktop;
    bool startMenu;
};

// Registers the program installed in `targetDirectory`, which is recorded
// with a trailing backslash (added to a copy when it has none). Returns
// kExitSuccess, kExitShortcut or kExitRegistryWrite.
ExitCode registerApplication(const char* targetDirectory, ShortcutRequest shortcuts);
