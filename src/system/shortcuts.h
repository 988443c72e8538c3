// Shortcut files through the shell's link object.
#pragma once

// Writes "<folder>\<linkName>.lnk" pointing at "<directory>\<baseName>.exe"
// (a backslash only where the folder or directory has none) with the
// description "Vemlo Reader". False when the link object or its
// persist interface cannot be had, the link file is not saved, or a path
// would not fit in 260 bytes.
bool createShortcut(const char* baseName, const char* folder, const char* linkName,
                    const char* directory);

// Writes "<folder>\<linkName>.lnk" pointing at `targetPath`, with
// `description`; false as createShortcut.
bool createLink(const char* folder, const char* linkName, const char* targetPath,
                const char* description);

// Makes the start-menu folder "<programs>\Vemlo Reader" with the program's
// and the uninstaller's shortcuts. False on the first step that fails.
bool createStartMenuShortcuts(const char* directory);
