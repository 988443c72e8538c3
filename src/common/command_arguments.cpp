#include "common/command_arguments.h"

#include "common/bounded_text.h"

namespace {

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

const char* nextArgument(const char* p, char* out, bool* quoted, bool* fits) {
    clearBuffer(out, kPathBufferSize);
    *quoted = *p == '"';
    *fits = true;
    bool inQuotes = false;
    size_t length = 0;
    for (; *p != '\0' && (inQuotes || static_cast<unsigned char>(*p) > ' '); ++p) {
        if (*p == '"') {
            inQuotes = !inQuotes;
        } else if (length + 1 < kPathBufferSize) {
            out[length++] = *p;
        } else {
            *fits = false;
        }
    }
    return p;
}

const char* skipBlanks(const char* p) {
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') {
        ++p;
    }
    return p;
}

bool startsWithIgnoringCase(const char* text, const char* word) {
    for (; *word != '\0'; ++text, ++word) {
        if (lower(*text) != *word) {
            return false;
        }
    }
    return true;
}

bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && lower(*a) == lower(*b); ++a, ++b) {
    }
    return *a == '\0' && *b == '\0';
}
