#include "format/product_description.h"

#include <string.h>

#include "common/little_endian.h"
#include "format/entry_name.h"

namespace {

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool onlyOf(const char* text, size_t maxLength, const char* extra) {
    const size_t length = strlen(text);
    if (length == 0 || length > maxLength) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (!isAsciiAlnum(text[i]) && strchr(extra, text[i]) == nullptr) {
            return false;
        }
    }
    return true;
}

// Takes one length-prefixed text into `out` (260 bytes, zero-filled).
bool readText(const unsigned char* bytes, size_t size, size_t* offset, char* out) {
    if (size - *offset < 2) {
        return false;
    }
    const size_t length =
        static_cast<size_t>(bytes[*offset]) | (static_cast<size_t>(bytes[*offset + 1]) << 8);
    *offset += 2;
    if (length >= kDescriptionTextBufferSize || size - *offset < length) {
        return false;
    }
    memset(out, 0, kDescriptionTextBufferSize);
    memcpy(out, bytes + *offset, length);
    *offset += length;
    // A zero byte inside would cut the text short unseen.
    return strlen(out) == length;
}

} // namespace

// Windows drops a folder name's trailing dots and blanks: such a name would
// not be kept as given.
bool isProductName(const char* text, LeadByteTest isLeadByte) {
    const size_t length = strlen(text);
    return length != 0 && length <= kMaxProductNameLength && text[length - 1] != '.' &&
           text[length - 1] != ' ' && strchr(text, kNameSeparator) == nullptr &&
           isSafeEntryName(text, isLeadByte);
}

bool isProductId(const char* text) {
    const size_t length = strlen(text);
    return onlyOf(text, kMaxProductNameLength, ".-_ ") && text[0] != ' ' && text[length - 1] != ' ';
}

bool isProductVersion(const char* text) {
    if (text[0] == '\0') {
        return true;
    }
    if (strlen(text) > kMaxVersionLength) {
        return false;
    }
    unsigned numbers = 0;
    for (const char* p = text;;) {
        unsigned long value = 0;
        const char* start = p;
        while (*p >= '0' && *p <= '9') {
            value = value * 10 + static_cast<unsigned long>(*p - '0');
            if (value > 65535 || p - start >= 5) {
                return false;
            }
            ++p;
        }
        if (p == start || ++numbers > 4) {
            return false;
        }
        if (*p == '\0') {
            return true;
        }
        if (*p++ != '.') {
            return false;
        }
    }
}

bool isDocumentType(const char* extension, const char* progId) {
    if (extension[0] == '\0' && progId[0] == '\0') {
        return true;
    }
    return extension[0] == '.' && onlyOf(extension + 1, kMaxExtensionLength, "-_") &&
           onlyOf(progId, kMaxProgIdLength, ".-_");
}

bool readProductDescription(const unsigned char* bytes, size_t size, ProductDescription* out,
                            LeadByteTest isLeadByte) {
    memset(out, 0, sizeof *out);
    if (bytes == nullptr || size < kDescriptionFixedSize || size > kMaxDescriptionSize ||
        memcmp(bytes, kDescriptionMagic, sizeof kDescriptionMagic) != 0) {
        return false;
    }
    const uint16_t version = static_cast<uint16_t>(bytes[4] | (bytes[5] << 8));
    out->flags = static_cast<uint16_t>(bytes[6] | (bytes[7] << 8));
    out->estimatedSizeKib = readLe32(bytes + 8);
    if (version != kDescriptionVersion || (out->flags & ~kDescriptionKnownFlags) != 0) {
        return false;
    }
    char* const texts[kDescriptionTextCount] = {out->product,       out->id,
                                                out->publisher,     out->version,
                                                out->program,       out->documentExtension,
                                                out->documentProgId};
    size_t offset = kDescriptionFixedSize;
    for (char* text : texts) {
        if (!readText(bytes, size, &offset, text)) {
            return false;
        }
    }
    return offset == size && isProductName(out->product, isLeadByte) && isProductId(out->id) &&
           (out->publisher[0] == '\0' || isProductName(out->publisher, isLeadByte)) &&
           isProductVersion(out->version) && isSafeEntryName(out->program, isLeadByte) &&
           isDocumentType(out->documentExtension, out->documentProgId);
}
