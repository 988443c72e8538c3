#include "common/character_walk.h"

namespace {

bool isLeadByte932(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// 936 (GBK), 949 (Unified Hangul) and 950 (Big5) share one lead-byte range.
bool isLeadByteChineseKorean(unsigned char c) {
    return c >= 0x81 && c <= 0xFE;
}

} // namespace

bool neverLeadByte(unsigned char) {
    return false;
}

LeadByteTest leadByteTestOf(unsigned codePage) {
    switch (codePage) {
    case 932:
        return isLeadByte932;
    case 936:
    case 949:
    case 950:
        return isLeadByteChineseKorean;
    default:
        return neverLeadByte;
    }
}

size_t characterSize(const char* text, LeadByteTest isLeadByte) {
    return isLeadByte(static_cast<unsigned char>(text[0])) &&
                   static_cast<unsigned char>(text[1]) >= kLowestTrailByte
               ? 2
               : 1;
}

bool endsWithBackslash(const char* text, LeadByteTest isLeadByte) {
    // The texts walked here live in 260-byte buffers.
    constexpr size_t kLimit = 260;
    size_t length = 0;
    while (length < kLimit && text[length] != '\0') {
        ++length;
    }
    bool backslash = false;
    for (size_t i = 0; i < length;) {
        // A lead byte is never a backslash: only a whole character counts.
        backslash = text[i] == '\\';
        // The last byte within the bound is a character of its own: nothing
        // after it is read.
        i += i + 1 < length ? characterSize(text + i, isLeadByte) : 1;
    }
    return backslash;
}

size_t lastBackslash(const char* text, LeadByteTest isLeadByte) {
    size_t last = kNoBackslash;
    for (size_t i = 0; text[i] != '\0'; i += characterSize(text + i, isLeadByte)) {
        if (text[i] == '\\') {
            last = i;
        }
    }
    return last;
}
