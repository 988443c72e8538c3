#include "common/bounded_text.h"

#include <string.h>

#include "platform/platform.h"

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

size_t characterSize(const char* text) {
    // Trail bytes lie at 0x40 and above in every double-byte code page: a
    // lead byte before anything lower stands alone, so that no '"', ':' or
    // terminator is ever taken into a character.
    return platform::isDbcsLeadByte(static_cast<unsigned char>(text[0])) &&
                   static_cast<unsigned char>(text[1]) >= kLowestTrailByte
               ? 2
               : 1;
}

bool endsWithBackslash(const char* text) {
    const size_t length = boundedLength(text, kPathBufferSize);
    bool backslash = false;
    for (size_t i = 0; i < length; i += characterSize(text + i)) {
        // A lead byte is never a backslash: only a whole character counts.
        backslash = text[i] == '\\';
    }
    return backslash;
}
