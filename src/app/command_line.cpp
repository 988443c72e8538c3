#include "app/command_line.h"

#include "common/character_walk.h"
#include "platform/platform.h"

const char* commandLineTail(const char* commandLine) {
    const char* p = commandLine;
    if (*p == '"') {
        // A quoted program name runs to the next quote, walked whole
        // characters at a time. A lead byte takes only a real trail byte
        // along, never the quote itself as a bare lead-byte rule would: no
        // character of a double-byte code page ends in 0x22.
        ++p;
        while (*p != '\0' && *p != '"') {
            p += characterSize(p, platform::isDbcsLeadByte);
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (static_cast<unsigned char>(*p) > ' ') {
            ++p;
        }
    }
    while (*p != '\0' && static_cast<unsigned char>(*p) <= ' ') {
        ++p;
    }
    return p;
}
