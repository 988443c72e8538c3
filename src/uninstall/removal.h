// Removing files and folders inside the uninstaller's folder: never through
// a junction or symbolic link, never anything but what is named.
#pragma once

// Removes the file `name` (levels separated by backslashes) below
// `folder`, retrying while something holds it for a moment. True when it is
// gone (or was never there); false when it stays, also when any level of
// it is a reparse point.
bool removeListedFile(const char* folder, const char* name);

// Removes the folders of `name` below `folder` that are empty, deepest
// first; a folder that still holds anything, or is a reparse point, stays.
void removeEmptyFolders(const char* folder, const char* name);

// `path` without its last level (and the backslash before it), into `out`
// (260 bytes). False when it has no backslash.
bool parentOf(const char* path, char* out);
