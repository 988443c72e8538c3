// Walks 8-bit ANSI text character by character. In the double-byte code
// pages (Japanese, Chinese, Korean) a lead byte starts a two-byte character
// whose trail byte may be 0x5C ('\') or 0x7C ('|') without being either, so
// every search for such a character walks the text with these functions.
// Which bytes are lead bytes is the caller's to say: the stub asks the
// system (platform::isDbcsLeadByte), the packer names the code page it
// stores names in, and the stand-in imitates one.
#pragma once

#include <stddef.h>

// True for a byte that starts a two-byte character.
typedef bool (*LeadByteTest)(unsigned char c);

// Trail bytes lie at 0x40 and above in every double-byte code page.
constexpr unsigned char kLowestTrailByte = 0x40;

// For text in a single-byte code page: every byte is a character.
bool neverLeadByte(unsigned char c);

// The lead bytes of the Windows ANSI code page `codePage`: 932, 936, 949
// and 950 have them, every other code page is a single-byte one.
LeadByteTest leadByteTestOf(unsigned codePage);

// The bytes of the character that starts at `text`: 2 for a lead byte with
// a trail byte after it, 1 otherwise. A lead byte before anything below 0x40
// stands alone, so no '"', ':', '\' or terminator is ever taken into a
// character.
size_t characterSize(const char* text, LeadByteTest isLeadByte);

// True when the last character of the text (within 260 bytes) is a
// backslash.
bool endsWithBackslash(const char* text, LeadByteTest isLeadByte);

// What lastBackslash gives for a text without one.
constexpr size_t kNoBackslash = static_cast<size_t>(-1);

// Where the text's last backslash stands, a whole character (never a trail
// byte 0x5C); kNoBackslash when it has none.
size_t lastBackslash(const char* text, LeadByteTest isLeadByte);
