// Reads and writes single registry values; each call opens its key and
// closes it again before returning.
#pragma once

#include "platform/platform.h"

struct RegistryValueRef {
    platform::RegistryRoot root;
    const char* subKey;    // null or empty: the root itself
    const char* valueName; // empty: the key's default value
};

// Reads a value as text into `out` (260 bytes): REG_SZ and REG_EXPAND_SZ as
// stored (unexpanded), REG_DWORD as signed decimal, an empty text or any
// other type as `fallback`. False, `out` untouched, when the key cannot be
// opened or the value is missing.
bool readRegistryValue(const RegistryValueRef& ref, const char* fallback, char* out);

// Stores `text` as REG_SZ. True when the key could be opened or created and
// the value was accepted.
bool writeRegistryValue(const RegistryValueRef& ref, const char* text);

// Stores `value` as REG_DWORD, as writeRegistryValue stores a text.
bool writeRegistryDword(const RegistryValueRef& ref, uint32_t value);

// Machine-wide first, the user's root when the machine-wide write fails.
// True when either write succeeded.
bool writeMachineThenUser(const char* subKey, const char* valueName, const char* text);
