// The Shell Link binary file format (.lnk), as far as the stand-in link object
// writes it: the header, a LinkInfo with the local target path, and the
// description as NAME_STRING. Files written this way open with the shell and
// with liblnk.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace posix {

// Longest target path and description, terminator excluded.
constexpr size_t kShellLinkMaxText = 259;

// Upper bound of what buildShellLink writes for texts within the limit.
constexpr size_t kShellLinkMaxBytes = 1024;

// ShellLinkHeader.LinkFlags bits used here.
constexpr uint32_t kLinkHasLinkInfo = 0x00000002;
constexpr uint32_t kLinkHasName = 0x00000004;
constexpr uint32_t kLinkIsUnicode = 0x00000080;

// Writes a link to `targetPath` (an ANSI Windows path, stored as given in
// LocalBasePath) described by `description` (ANSI, stored as UTF-16). Either
// text may be empty, and its structure is then left out. Returns the number
// of bytes written into `out`, 0 when a text is too long or out is too small.
size_t buildShellLink(const char* targetPath, const char* description, unsigned char* out,
                      size_t outSize);

// The ANSI code page of the stand-in is Windows-1252; bytes it leaves
// undefined map to the same code point, as Windows does.
uint16_t ansiToUtf16(unsigned char c);
// False for a code unit with no ANSI byte.
bool utf16ToAnsi(uint16_t unit, unsigned char* c);

} // namespace posix
