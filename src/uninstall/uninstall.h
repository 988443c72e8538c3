// The uninstaller of described setups: removes what the lists beside it
// name (format/uninstall_list.h), the product's shortcuts and registry
// keys, then itself through a temporary copy. Its exit code is its outcome:
//   0  everything listed is gone
//   9  no list, or a list that is malformed: nothing was removed
//   10 a registry key could not be removed (the rest is removed)
//   14 a listed file or a shortcut could not be removed, or the temporary
//      copy that removes Uninstall.exe could not be started (the rest is
//      removed; Uninstall.exe and the lists stay for another run)
#pragma once

#include "common/exit_code.h"

// The process entry: "/remove=PATH" runs the temporary copy's part, every
// other command line ("/S" or nothing) the removal.
int uninstallMain(const char* commandLine);

// Removes what the lists in the folder of `selfPath` (the running
// Uninstall.exe) name.
ExitCode runUninstall(const char* selfPath);

// The temporary copy's part: waits for `original` (an Uninstall.exe) to be
// deletable, deletes it and its folder if that is empty, and arranges for
// `selfPath` and its folder to go at the next start of Windows.
ExitCode finishRemoval(const char* original, const char* selfPath);
