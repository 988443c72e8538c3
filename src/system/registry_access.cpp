#include "system/registry_access.h"

#include <string.h>

#include "common/bounded_text.h"
#include "common/little_endian.h"

namespace {

bool hasSubKey(const RegistryValueRef& ref) {
    return ref.subKey != nullptr && ref.subKey[0] != '\0';
}

// Opens the key for one access. Success is judged by the handle that came
// back, not by the status.
bool openKey(const RegistryValueRef& ref, uint32_t access, platform::RegistryKey* key) {
    *key = platform::rootKey(ref.root);
    if (!hasSubKey(ref)) {
        return true;
    }
    platform::RegistryKey opened = nullptr;
    platform::regCreateKey(*key, ref.subKey, access, &opened);
    *key = opened;
    return opened != nullptr;
}

void closeKey(const RegistryValueRef& ref, platform::RegistryKey key) {
    if (hasSubKey(ref)) {
        platform::regCloseKey(key);
    }
}

// Writes a 32-bit value as signed decimal text.
void formatDecimal(int32_t value, char* out) {
    char digits[12];
    size_t count = 0;
    // Work on the magnitude as unsigned so that INT32_MIN does not overflow.
    uint32_t magnitude =
        value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    size_t position = 0;
    if (value < 0) {
        out[position++] = '-';
    }
    while (count > 0) {
        out[position++] = digits[--count];
    }
    out[position] = '\0';
}

void useFallback(const char* fallback, char* out) {
    clearBuffer(out, kPathBufferSize);
    copyText(out, kPathBufferSize, fallback);
}

// Copies a stored text up to its first zero, never past the stored bytes
// nor past `out`: a text of 260 bytes or more is cut to 259.
void readText(platform::RegistryKey key, const RegistryValueRef& ref, uint32_t size,
              const char* fallback, char* out) {
    unsigned char* data = static_cast<unsigned char*>(platform::allocateMemory(size_t{size} + 1));
    size_t length = 0;
    if (data != nullptr) {
        uint32_t type = 0;
        uint32_t received = size;
        if (platform::regQueryValue(key, ref.valueName, &type, data, &received) != 0 ||
            received > size) {
            received = 0;
        }
        while (length < received && length < kPathBufferSize - 1 && data[length] != 0) {
            ++length;
        }
        if (length != 0) {
            memcpy(out, data, length);
            out[length] = '\0';
        }
        platform::freeMemory(data);
    }
    if (length == 0) {
        useFallback(fallback, out);
    }
}

// A REG_DWORD is read from at most its 4 stored bytes; shorter data is
// taken as zero-extended.
void readDword(platform::RegistryKey key, const RegistryValueRef& ref, uint32_t size, char* out) {
    unsigned char bytes[4] = {0, 0, 0, 0};
    uint32_t type = 0;
    uint32_t received = size < sizeof bytes ? size : static_cast<uint32_t>(sizeof bytes);
    if (size <= sizeof bytes) {
        platform::regQueryValue(key, ref.valueName, &type, bytes, &received);
    } else {
        // The platform refuses a buffer smaller than the data, so the whole
        // value is fetched and its first four bytes are used.
        unsigned char* data = static_cast<unsigned char*>(platform::allocateMemory(size));
        if (data != nullptr) {
            received = size;
            if (platform::regQueryValue(key, ref.valueName, &type, data, &received) == 0) {
                memcpy(bytes, data, sizeof bytes);
            }
            platform::freeMemory(data);
        }
    }
    formatDecimal(static_cast<int32_t>(readLe32(bytes)), out);
}

} // namespace

bool readRegistryValue(const RegistryValueRef& ref, const char* fallback, char* out) {
    platform::RegistryKey key = nullptr;
    if (!openKey(ref, platform::kKeyQueryValue, &key)) {
        return false;
    }
    uint32_t type = 0;
    uint32_t size = 0;
    if (platform::regQueryValue(key, ref.valueName, &type, nullptr, &size) != 0) {
        closeKey(ref, key);
        return false;
    }
    if (type == platform::kRegSz || type == platform::kRegExpandSz) {
        readText(key, ref, size, fallback, out);
    } else if (type == platform::kRegDword) {
        readDword(key, ref, size, out);
    } else {
        useFallback(fallback, out);
    }
    closeKey(ref, key);
    return true;
}

bool writeRegistryValue(const RegistryValueRef& ref, const char* text) {
    platform::RegistryKey key = nullptr;
    if (!openKey(ref, platform::kKeySetValue, &key)) {
        return false;
    }
    const size_t length = strlen(text);
    // A key that opens but refuses the value (a policy, a full registry)
    // counts as not written, so that the caller falls back as for a key
    // that cannot be opened.
    const long status = platform::regSetValue(key, ref.valueName, platform::kRegSz,
                                              reinterpret_cast<const unsigned char*>(text),
                                              static_cast<uint32_t>(length + 1));
    closeKey(ref, key);
    return status == 0;
}

bool writeRegistryDword(const RegistryValueRef& ref, uint32_t value) {
    platform::RegistryKey key = nullptr;
    if (!openKey(ref, platform::kKeySetValue, &key)) {
        return false;
    }
    unsigned char bytes[4];
    writeLe32(bytes, value);
    const long status = platform::regSetValue(key, ref.valueName, platform::kRegDword, bytes, 4);
    closeKey(ref, key);
    return status == 0;
}

bool writeMachineThenUser(const char* subKey, const char* valueName, const char* text) {
    const RegistryValueRef machine = {platform::kHkeyLocalMachine, subKey, valueName};
    if (writeRegistryValue(machine, text)) {
        return true;
    }
    const RegistryValueRef user = {platform::kHkeyCurrentUser, subKey, valueName};
    return writeRegistryValue(user, text);
}
