#include "common/bounded_text.h"

#include <string.h>

size_t boundedLength(const char* text, size_t limit) {
    size_t length = 0;
    while (length < limit && text[length] != '\0') {
        ++length;
    }
    return length;
}

void clearBuffer(void* buffer, size_t size) {
    memset(buffer, 0, size);
}

bool copyText(char* buffer, size_t size, const char* source) {
    if (size == 0) {
        return false;
    }
    buffer[0] = '\0';
    return appendText(buffer, size, source);
}

bool appendText(char* buffer, size_t size, const char* source) {
    const size_t used = boundedLength(buffer, size);
    if (used >= size) {
        return false;
    }
    const size_t extra = boundedLength(source, size);
    if (extra >= size - used) {
        return false;
    }
    for (size_t i = 0; i < extra; ++i) {
        buffer[used + i] = source[i];
    }
    buffer[used + extra] = '\0';
    return true;
}

bool appendChar(char* buffer, size_t size, char c) {
    const char text[2] = {c, '\0'};
    return appendText(buffer, size, text);
}

bool copyQuoted(char* buffer, size_t size, const char* source) {
    if (copyText(buffer, size, "\"") && appendText(buffer, size, source) &&
        appendChar(buffer, size, '"')) {
        return true;
    }
    clearBuffer(buffer, size);
    return false;
}

bool joinPath(char* path, size_t size, const char* directory, const char* name,
              LeadByteTest isLeadByte) {
    clearBuffer(path, size);
    if (copyText(path, size, directory) &&
        (endsWithBackslash(path, isLeadByte) || appendChar(path, size, '\\')) &&
        appendText(path, size, name)) {
        return true;
    }
    clearBuffer(path, size);
    return false;
}
