#include "payload/exact_io.h"

bool readExact(platform::Stream stream, void* buffer, size_t count) {
    if (count == 0) {
        return true;
    }
    return platform::readStream(buffer, 1, count, stream) == count;
}

bool writeExact(platform::Stream stream, const void* buffer, size_t count) {
    if (count == 0) {
        return true;
    }
    return platform::writeStream(buffer, 1, count, stream) == count;
}
