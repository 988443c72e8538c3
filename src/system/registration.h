// Makes the installed program known to the system: document icon,
// association backup, shortcuts, uninstall entry and install path.
#pragma once

#include "app/run_options.h"
#include "common/exit_code.h"

// Appends a backslash to `targetDirectory` in place when it has none.
// Returns kExitSuccess, kExitShortcut or kExitRegistryWrite.
ExitCode registerApplication(RunOptions* options);
