// Code-page conversion for the stand-in, whose ANSI code page is Latin-1:
// every byte is the UTF-16 unit of the same value.
#include "platform/posix/posix_impl.h"

namespace posix {

int multiByteToWideChar(const char* text, uint16_t* out, int outLength) {
    int count = 0;
    for (;;) {
        if (count >= outLength) {
            return 0; // like Windows: ERROR_INSUFFICIENT_BUFFER, nothing usable
        }
        const unsigned char c = static_cast<unsigned char>(text[count]);
        out[count++] = c;
        if (c == 0) {
            return count;
        }
    }
}

} // namespace posix
