// Decides whether an archive entry's name stays inside the destination. The
// stub applies this rule to every entry it writes; the packer applies it,
// and rules of its own, to every name it stores.
#pragma once

#include "common/character_walk.h"

// A name is one level ("Setup.exe") or several separated by backslashes
// ("plugins\platforms\qwindows.dll"), and every level must be a name that
// Windows would use as it stands. False for a name that is empty, absolute,
// drive-qualified, has an empty level (a leading, doubled or trailing
// backslash), a level made only of dots and blanks ("..", "..."), a level
// that names a device (CON, NUL, COM1 ...) or an alternate data stream, or a
// character that Windows refuses in file names ('/' among them: the archive
// separates levels with '\' alone). Characters are walked with
// `isLeadByte`, so that in a double-byte code page a trail byte 0x5C or 0x7C
// is neither a separator nor a refused '|'.
bool isSafeEntryName(const char* name, LeadByteTest isLeadByte);

// The one level separator of entry names.
constexpr char kNameSeparator = '\\';

// Control characters and the characters Windows refuses in a file name, the
// separator aside; ':' covers drive prefixes and alternate data streams.
inline bool isRefusedNameCharacter(unsigned char c) {
    return c < 32 || c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' ||
           c == '*' || c == '/';
}
