// Decides whether an archive entry's name stays inside the destination. The
// stub applies this rule to every entry it writes; the packer applies it,
// and rules of its own, to every name it stores.
#pragma once

#include <stddef.h>

// False for a name that is empty, absolute, drive-qualified, climbs with
// "..", names an alternate data stream or a device (CON, NUL, COM1 ...), or
// holds a character that Windows refuses in file names. Names with inner
// levels ("docs\a.txt") are accepted; both '\' and '/' separate levels,
// because Windows treats them alike.
// `characterSize` gives the bytes of the character at a position (2 for a
// double-byte character of the ANSI code page): a double-byte character is
// never refused, as its trail byte may be 0x5C or 0x7C without being '\'
// or '|'.
using CharacterSize = size_t (*)(const char*);
bool isSafeEntryName(const char* name, CharacterSize characterSize);

// The stub's check, with the platform's lead bytes (defined with the
// archive reader, src/payload/package_archive.cpp).
bool isSafeEntryName(const char* name);

// '\' or '/'.
bool isNameSeparator(char c);

// Control characters and the characters Windows refuses in a file name,
// separators aside.
bool isRefusedNameCharacter(unsigned char c);
