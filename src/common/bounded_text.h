// Bounded text helpers for the fixed 260-byte buffers that every path and
// text of the stub lives in. They never write past the buffer and report
// truncation instead of hiding it.
#pragma once

#include <stddef.h>

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

// The bytes of the character that starts at `text`: 2 for a lead byte of
// the ANSI code page with its trail byte, 1 otherwise. In double-byte code
// pages a trail byte may be 0x5C ('\\') or 0x7C ('|'), so every test for
// such a character walks the text with this.
size_t characterSize(const char* text);
constexpr unsigned char kLowestTrailByte = 0x40;

// True when the text's last character is a backslash.
bool endsWithBackslash(const char* text);
