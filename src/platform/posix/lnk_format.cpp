#include "platform/posix/lnk_format.h"

#include <string.h>

namespace posix {

namespace {

constexpr uint32_t kHeaderSize = 0x4C;
// CLSID_ShellLink {00021401-0000-0000-C000-000000000046} in its stored order.
constexpr unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr uint32_t kFileAttributeArchive = 0x20; // what a freshly unpacked program carries
constexpr uint32_t kShowNormal = 1;

constexpr uint32_t kLinkInfoHeaderSize = 0x1C;
constexpr uint32_t kVolumeIdAndLocalBasePath = 0x1;
constexpr uint32_t kVolumeIdSize = 0x11; // four fields and an empty label
constexpr uint32_t kDriveFixed = 3;

// Windows-1252 0x80..0x9F; zero where the code page leaves a byte undefined.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Little-endian writer over a bounded buffer; `fits` turns false on overflow.
struct Writer {
    unsigned char* out;
    size_t size;
    size_t used;
    bool fits;

    void bytes(const void* data, size_t length) {
        if (!fits || length > size - used) {
            fits = false;
            return;
        }
        memcpy(out + used, data, length);
        used += length;
    }
    void u16(uint16_t value) {
        unsigned char b[2] = {static_cast<unsigned char>(value),
                              static_cast<unsigned char>(value >> 8)};
        bytes(b, 2);
    }
    void u32(uint32_t value) {
        unsigned char b[4] = {
            static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
        bytes(b, 4);
    }
    void zeros(size_t count) {
        for (size_t i = 0; i < count; ++i) {
            bytes("", 1);
        }
    }
};

size_t boundedLength(const char* text) {
    if (!text) {
        return 0;
    }
    const void* end = memchr(text, '\0', kShellLinkMaxText + 1);
    return end ? static_cast<size_t>(static_cast<const char*>(end) - text) : kShellLinkMaxText + 1;
}

} // namespace

uint16_t ansiToUtf16(unsigned char c) {
    if (c >= 0x80 && c <= 0x9F && kCp1252High[c - 0x80] != 0) {
        return kCp1252High[c - 0x80];
    }
    return c;
}

bool utf16ToAnsi(uint16_t unit, unsigned char* c) {
    if (unit < 0x100) {
        // Also takes U+0080..U+009F back, for a converter that treats the
        // code page as Latin-1.
        *c = static_cast<unsigned char>(unit);
        return true;
    }
    for (unsigned i = 0; i < 32; ++i) {
        if (kCp1252High[i] == unit) {
            *c = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

size_t buildShellLink(const char* targetPath, const char* description, unsigned char* out,
                      size_t outSize) {
    size_t targetLength = boundedLength(targetPath);
    size_t descriptionLength = boundedLength(description);
    if (!out || targetLength > kShellLinkMaxText || descriptionLength > kShellLinkMaxText) {
        return 0;
    }

    uint32_t flags = kLinkIsUnicode;
    if (targetLength > 0) {
        flags |= kLinkHasLinkInfo;
    }
    if (descriptionLength > 0) {
        flags |= kLinkHasName;
    }

    Writer w{out, outSize, 0, true};
    // ShellLinkHeader; the target's times and size are not known here and
    // zero is their documented "unset" value.
    w.u32(kHeaderSize);
    w.bytes(kLinkClsid, sizeof kLinkClsid);
    w.u32(flags);
    w.u32(kFileAttributeArchive);
    w.zeros(3 * 8); // creation, access and write times
    w.u32(0);       // file size
    w.u32(0);       // icon index
    w.u32(kShowNormal);
    w.u16(0); // hot key
    w.zeros(2 + 4 + 4);

    if (flags & kLinkHasLinkInfo) {
        uint32_t localBasePathOffset = kLinkInfoHeaderSize + kVolumeIdSize;
        uint32_t commonPathSuffixOffset =
            localBasePathOffset + static_cast<uint32_t>(targetLength) + 1;
        uint32_t linkInfoSize = commonPathSuffixOffset + 1;
        w.u32(linkInfoSize);
        w.u32(kLinkInfoHeaderSize);
        w.u32(kVolumeIdAndLocalBasePath);
        w.u32(kLinkInfoHeaderSize); // VolumeID follows the header
        w.u32(localBasePathOffset);
        w.u32(0); // no CommonNetworkRelativeLink
        w.u32(commonPathSuffixOffset);
        // VolumeID: a fixed drive without serial number or label.
        w.u32(kVolumeIdSize);
        w.u32(kDriveFixed);
        w.u32(0);
        w.u32(0x10); // label offset: the empty label right after these fields
        w.zeros(1);
        w.bytes(targetPath, targetLength);
        w.zeros(1);
        w.zeros(1); // empty CommonPathSuffix
    }

    if (flags & kLinkHasName) {
        w.u16(static_cast<uint16_t>(descriptionLength));
        for (size_t i = 0; i < descriptionLength; ++i) {
            w.u16(ansiToUtf16(static_cast<unsigned char>(description[i])));
        }
    }

    w.u32(0); // TerminalBlock ends the (empty) ExtraData
    return w.fits ? w.used : 0;
}

} // namespace posix
