// Decides whether an archive entry's name stays inside the destination. The
// stub applies this rule to every entry it writes; the packer applies it,
// and rules of its own, to every name it stores.
#pragma once

// False for a name that is empty, absolute, drive-qualified, climbs with
// "..", names an alternate data stream or a device (CON, NUL, COM1 ...), or
// holds a character that Windows refuses in file names. Names with inner
// levels ("docs\a.txt") are accepted; both '\' and '/' separate levels,
// because Windows treats them alike. Characters are walked with
// characterSize (common/bounded_text.h): the stub's follows the ANSI code
// page, so a double-byte character whose trail byte is 0x5C or 0x7C is not
// taken for '\' or '|'; the packer, which stores names for every code page,
// defines its own that takes every byte alone.
bool isSafeEntryName(const char* name);

// '\' or '/'.
inline bool isNameSeparator(char c) {
    return c == '\\' || c == '/';
}

// Control characters and the characters Windows refuses in a file name,
// separators aside; ':' covers drive prefixes and alternate data streams.
inline bool isRefusedNameCharacter(unsigned char c) {
    return c < 32 || c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' ||
           c == '*';
}
