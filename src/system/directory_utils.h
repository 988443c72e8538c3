// Directory tests and level-by-level creation on backslash-separated paths.
#pragma once

// True when the directory can be listed (a wildcard search finds an entry),
// or when the file system reports the path as a directory although it
// cannot be listed (an empty drive root, a junction that refuses listing, a
// path too long for the wildcard).
bool directoryExists(const char* path);

// Creates every missing level of `path`; true when the whole path exists as
// a directory at the end. Levels made before a failure stay. A UNC path's
// server and share are never created, only the levels below them.
bool createDirectoryPath(const char* path);

// Creates, inside `base`, every missing level of `relative` in front of its
// last backslash ("a\b\c.txt" makes base\a and base\a\b). True when all of
// them are there as plain directories; false at a level that cannot be
// made, is a file, or is a link or junction (never followed). `base`
// itself may be reached through one.
bool createInnerLevels(const char* base, const char* relative);
