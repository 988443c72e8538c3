// Bounded text helpers for the fixed 260-byte buffers that every path and
// text of the stub lives in. They never write past the buffer and report
// truncation instead of hiding it.
#pragma once

#include <stddef.h>

#include "common/character_walk.h"

// The system's path limit, terminator included.
constexpr size_t kPathBufferSize = 260;

// Length of a zero-terminated text, looking at no more than `limit` bytes.
size_t boundedLength(const char* text, size_t limit);

// Fills `size` bytes with zeros.
void clearBuffer(void* buffer, size_t size);

// Copies `source` into `buffer` (capacity `size`, terminator included).
// False, with `buffer` holding an empty text, when it does not fit.
bool copyText(char* buffer, size_t size, const char* source);

// Appends `source` to the text in `buffer`. False, with the buffer
// unchanged, when the result would not fit.
bool appendText(char* buffer, size_t size, const char* source);

// Appends one character; false, buffer unchanged, when it does not fit.
bool appendChar(char* buffer, size_t size, char c);

// Copies `source` into `buffer` between double quotes. False, with
// `buffer` holding an empty text, when it does not fit.
bool copyQuoted(char* buffer, size_t size, const char* source);

// Joins a directory and a name into `path` (capacity `size`): the
// directory, a backslash unless it ends in one already (an empty directory
// gets one), then the name. An empty name gives the directory with its
// trailing backslash. `path` is cleared first and must not overlap the
// other two. False, with `path` holding an empty text, when it does not fit.
bool joinPath(char* path, size_t size, const char* directory, const char* name,
              LeadByteTest isLeadByte);
