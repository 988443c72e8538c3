#include "format/entry_name.h"

#include <stddef.h>

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsUpper(const char* text, size_t length, const char* word) {
    size_t i = 0;
    for (; i < length && word[i] != '\0'; ++i) {
        if (upper(text[i]) != word[i]) {
            return false;
        }
    }
    return i == length && word[i] == '\0';
}

// Windows opens the device for these names whatever extension follows, and
// trims trailing blanks before it looks ("NUL .txt" is NUL).
bool isDeviceName(const char* level, size_t length) {
    size_t base = 0;
    while (base < length && level[base] != '.') {
        ++base;
    }
    while (base > 0 && level[base - 1] == ' ') {
        --base;
    }
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* device : kDevices) {
        if (equalsUpper(level, base, device)) {
            return true;
        }
    }
    if (base == 4 && level[3] >= '1' && level[3] <= '9') {
        return equalsUpper(level, 3, "COM") || equalsUpper(level, 3, "LPT");
    }
    return false;
}

// Windows drops trailing dots and blanks from a level, so ".. " and "..."
// would climb or vanish: a level made only of them is refused.
bool isOnlyDotsAndBlanks(const char* level, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (level[i] != '.' && level[i] != ' ') {
            return false;
        }
    }
    return true;
}

} // namespace

bool isSafeEntryName(const char* name, LeadByteTest isLeadByte) {
    size_t start = 0;
    for (size_t i = 0;;) {
        const char c = name[i];
        if (c != '\0' && c != kNameSeparator) {
            // A double-byte character is never refused: its trail byte may
            // be 0x5C or 0x7C without being '\\' or '|'.
            const size_t size = characterSize(name + i, isLeadByte);
            if (size == 1 && isRefusedNameCharacter(static_cast<unsigned char>(c))) {
                return false;
            }
            i += size;
            continue;
        }
        // Every level, the last one too, must be a plain file name: an empty
        // one would make the path absolute, doubled or a directory's.
        const size_t length = i - start;
        if (length == 0 || isOnlyDotsAndBlanks(name + start, length) ||
            isDeviceName(name + start, length)) {
            return false;
        }
        if (c == '\0') {
            return true;
        }
        start = ++i;
    }
}
