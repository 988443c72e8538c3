// Directory tests and level-by-level creation on backslash-separated paths.
#pragma once

// True when the directory can be listed (a wildcard search finds an entry).
// False for longer paths than the wildcard pattern leaves room for.
bool directoryExists(const char* path);

// Creates every missing level of `path`; true when the whole path exists as
// a directory at the end. Levels made before a failure stay.
bool createDirectoryPath(const char* path);
