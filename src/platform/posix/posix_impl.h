// The POSIX stand-in: one function in namespace posix for each platform
// operation, with the same signature. operations_posix.cpp puts them into
// the table; the tests' fake and the fuzzers' platform call them from their
// own entries.
#pragma once

#include "platform/platform.h"

namespace posix {
#define VEM_OPERATION(result, name, parameters, failure) result name parameters;
#include "platform/operations.def"
#undef VEM_OPERATION

// The ANSI code page the stand-in imitates for isDbcsLeadByte and path
// mapping: 932, 936, 949 or 950, or any other for a single-byte one. Unset
// (0), the environment variable VEMSETUP_ANSI_CODEPAGE decides.
void setAnsiCodePage(unsigned codePage);
} // namespace posix
