#include "payload/read_exact.h"

bool readExact(platform::Stream stream, void* buffer, size_t count) {
    if (count == 0) {
        return true;
    }
    return platform::readStream(buffer, 1, count, stream) == count;
}
