#include "payload/exact_io.h"

namespace {

// A single transfer stays below 2 GiB: the C runtime's stream calls pass
// counts on to the system as 32-bit values, and under Wine a write of 2 GiB
// or more from the 64-bit build never reached the file. Anything below this
// is one call, as before.
constexpr size_t kMaxTransfer = size_t{1} << 30;

// Moves `count` bytes in pieces of at most kMaxTransfer; `transfer(at, n)`
// returns how many of the n bytes at `at` it moved.
template <typename Byte, typename Transfer>
bool transferExact(Byte* bytes, size_t count, Transfer transfer) {
    for (size_t done = 0; done < count;) {
        const size_t piece = count - done < kMaxTransfer ? count - done : kMaxTransfer;
        if (transfer(bytes + done, piece) != piece) {
            return false;
        }
        done += piece;
    }
    return true;
}

} // namespace

bool readExact(platform::Stream stream, void* buffer, size_t count) {
    return transferExact(static_cast<unsigned char*>(buffer), count,
                         [&](unsigned char* at, size_t piece) {
                             return platform::readStream(at, 1, piece, stream);
                         });
}

bool writeExact(platform::Stream stream, const void* buffer, size_t count) {
    return transferExact(static_cast<const unsigned char*>(buffer), count,
                         [&](const unsigned char* at, size_t piece) {
                             return platform::writeStream(at, 1, piece, stream);
                         });
}

bool writeFileExact(platform::FileHandle file, const void* buffer, size_t count) {
    return transferExact(static_cast<const unsigned char*>(buffer), count,
                         [&](const unsigned char* at, size_t piece) {
                             uint32_t written = 0;
                             return platform::writeFile(file, at, static_cast<uint32_t>(piece),
                                                        &written)
                                        ? size_t{written}
                                        : size_t{0};
                         });
}

bool writeAndClose(platform::FileHandle file, const void* buffer, size_t count) {
    const bool whole = writeFileExact(file, buffer, count);
    return platform::closeFile(file) && whole;
}
