// The registry stand-in's store: one text file per root, one line per value,
// fields separated by a tab:
//
//   Software\Classes\.pdf<TAB><TAB>REG_SZ<TAB>Other.Document
//   Software\Vemlo Software\Vemlo Reader<TAB>Count<TAB>REG_DWORD<TAB>42
//   Software\Vemlo Software\Empty
//
// key path below the root, value name (empty for the default value), type
// name, data. A key without values is a line holding its path alone. Text
// is written without its terminator, a REG_DWORD as a decimal number (read
// also as "0x" and hex digits), other types as hex digits; data that these
// forms cannot give back exactly (text without a terminator or with one
// inside, a REG_DWORD of other than four bytes, a type without a name here)
// is written as hex digits under the type's number instead of its name. A
// tab, line feed, carriage return or '%' inside a field is written %09, %0A,
// %0D, %25.
//
// Only the stand-in uses this, never the stub, so it may use the standard
// containers.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace posix {

// One line: a value, or a key without values (isValue false).
struct RegistryLine {
    std::string path; // below the root, "" for the root itself
    bool isValue;
    std::string name;
    uint32_t type;
    std::string data;
};

// Lines in the order they were first read or made.
typedef std::vector<RegistryLine> RegistryStore;

// Whether a key exists at `path`: the root, a key of the store or an
// ancestor of one. Keys and value names compare ignoring ASCII case.
bool registryKeyExists(const RegistryStore& store, const std::string& path);

// Adds a key line unless the key exists.
void registryAddKey(RegistryStore& store, const std::string& path);

// The value named `name` of the key at `path`, or null.
const RegistryLine* registryFindValue(const RegistryStore& store, const std::string& path,
                                      const std::string& name);

// Stores a value, replacing one of the same name. The key and the value keep
// the spelling they were first given.
void registrySetValue(RegistryStore& store, const std::string& path, const std::string& name,
                      uint32_t type, const std::string& data);

// Reads a store's text; lines may come in any order, and a later line for
// the same value replaces an earlier one. False when a line does not follow
// the format: such a store is refused, never overwritten.
bool parseRegistryText(const std::string& text, RegistryStore& store);

std::string registryText(const RegistryStore& store);

} // namespace posix
