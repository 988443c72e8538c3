#include "app/command_line.h"

#include "platform/platform.h"

const char* commandLineTail(const char* commandLine) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    if (*p == '"') {
        // A quoted program name runs to the next quote. A double-byte
        // character's lead byte takes its trail byte along, so a trail byte
        // that happens to be '"' does not end the name.
        ++p;
        while (*p != '\0' && *p != '"') {
            if (platform::isDbcsLeadByte(*p) && p[1] != '\0') {
                ++p;
            }
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (*p > ' ') {
            ++p;
        }
    }
    while (*p != '\0' && *p <= ' ') {
        ++p;
    }
    return reinterpret_cast<const char*>(p);
}
