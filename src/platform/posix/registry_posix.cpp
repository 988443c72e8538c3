// Registry stand-in: each root is a text file in $XDG_DATA_HOME/vemsetup/registry/
// (default ~/.local/share/...), one line per value, fields separated by a tab:
//
//   Software\Classes\.pdf<TAB><TAB>REG_SZ<TAB>Other.Document
//   Software\Vemlo Software\Vemlo Reader<TAB>Count<TAB>REG_DWORD<TAB>42
//   Software\Vemlo Software\Empty
//
// key path, value name ("" for the default value), type name, data; a key
// without values is its path alone. Text is written without its terminator,
// a REG_DWORD in decimal (read also as "0x" and hex digits), other data as
// hex digits, and data that these forms would not give back exactly as hex
// digits under the type's number. Tab, line feed, carriage return and '%'
// inside a field are written %09, %0A, %0D, %25.
//
// Every call reads the file afresh and every change rewrites it whole, so a
// test or a second process sees the store as it is on disk. A store that
// cannot be written refuses keys opened for writing with ERROR_ACCESS_DENIED,
// as HKEY_LOCAL_MACHINE does for a user without rights; a file without any
// write permission bit counts as unwritable even for root, as the read-only
// attribute does on Windows.
#include <ctype.h>
#include <errno.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/little_endian.h"
#include "platform/posix/host_files.h"
#include "platform/posix/posix_impl.h"

// A key handle: its root, the key's path below it ("Software\..."), and the
// access it was opened for.
struct platform::RegistryKeyObject {
    RegistryRoot root;
    bool predefined;
    uint32_t access;
    std::string path;
};

namespace posix {

namespace {

constexpr long kFileNotFound = 2;
constexpr long kAccessDenied = 5;
constexpr long kMoreData = 234;
constexpr long kBadDb = 1009;
constexpr long kKeyDeleted = 1018;

// The rights that let values be set (KEY_SET_VALUE, GENERIC_ALL,
// GENERIC_WRITE) or read (KEY_QUERY_VALUE, GENERIC_ALL, GENERIC_READ).
constexpr uint32_t kSetRights = 0x0002 | 0x10000000 | 0x40000000;
constexpr uint32_t kQueryRights = 0x0001 | 0x10000000 | 0x80000000;

platform::RegistryKeyObject machineRoot{platform::kHkeyLocalMachine, true, 0xFFFFFFFFu, ""};
platform::RegistryKeyObject userRoot{platform::kHkeyCurrentUser, true, 0xFFFFFFFFu, ""};

// One line: a value, or a key without values (isValue false).
struct Line {
    std::string path; // "" for the root itself
    bool isValue;
    std::string name;
    uint32_t type;
    std::string data;
};
typedef std::vector<Line> Store; // in the order first read or made

// The names of types 0 to 7; other types are written by number.
const char* const kTypeNames[] = {"REG_NONE",   "REG_SZ",      "REG_EXPAND_SZ",
                                  "REG_BINARY", "REG_DWORD",   "REG_DWORD_BIG_ENDIAN",
                                  "REG_LINK",   "REG_MULTI_SZ"};
constexpr uint32_t kNamedTypes = sizeof kTypeNames / sizeof kTypeNames[0];

bool isText(uint32_t type) {
    return type == 1 || type == 2;
}

// Keys and value names compare ignoring ASCII case (the C locale's).
bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return tolower(static_cast<unsigned char>(x)) ==
                      tolower(static_cast<unsigned char>(y));
           });
}

// Appends the byte that two hex digits at `at` spell; false when they do not.
bool hexByte(const std::string& text, size_t at, std::string& out) {
    const std::string digits = text.substr(at, 2);
    if (digits.size() != 2 || !isxdigit(static_cast<unsigned char>(digits[0])) ||
        !isxdigit(static_cast<unsigned char>(digits[1]))) {
        return false;
    }
    out += static_cast<char>(strtol(digits.c_str(), nullptr, 16));
    return true;
}

// `escaped`: only the field separators and '%' become %XX, in capitals.
std::string toHex(const std::string& bytes, bool escaped) {
    std::string out;
    for (char c : bytes) {
        if (escaped && c != '\t' && c != '\n' && c != '\r' && c != '%') {
            out += c;
            continue;
        }
        const char* digits = escaped ? "0123456789ABCDEF" : "0123456789abcdef";
        out += escaped ? "%" : "";
        out += digits[static_cast<unsigned char>(c) >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The reverse of toHex.
bool fromHex(const std::string& text, bool escaped, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        if (escaped && text[i] != '%') {
            out += text[i--];
        } else if (!hexByte(text, escaped ? ++i : i, out)) {
            return false;
        }
    }
    return true;
}

// Decimal digits, or hex digits after "0x" as a hand might write them; at
// most 32 bits (strtoull saturates beyond its range).
bool parseNumber(const std::string& text, uint32_t& number) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = text.substr(hex ? 2 : 0);
    if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") !=
                              std::string::npos) {
        return false;
    }
    const unsigned long long value = strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    number = static_cast<uint32_t>(value);
    return value <= 0xFFFFFFFFu;
}

bool keyExists(const Store& store, const std::string& path) {
    for (const Line& line : store) {
        if (line.path.size() >= path.size() && sameName(line.path.substr(0, path.size()), path) &&
            (line.path.size() == path.size() || line.path[path.size()] == '\\')) {
            return true;
        }
    }
    return path.empty();
}

void addKey(Store& store, const std::string& path) {
    if (!keyExists(store, path)) {
        store.push_back(Line{path, false, {}, 0, {}});
    }
}

// Stores a value, replacing one of the same name; the key and the value keep
// the spelling they were first given.
void setValue(Store& store, const Line& value) {
    std::string spelling = value.path;
    for (size_t i = 0; i < store.size(); ++i) {
        Line& line = store[i];
        if (!sameName(line.path, value.path)) {
            continue;
        }
        spelling = line.path;
        if (!line.isValue) { // the key has a value now
            store.erase(store.begin() + static_cast<std::ptrdiff_t>(i--));
        } else if (sameName(line.name, value.name)) {
            line.type = value.type;
            line.data = value.data;
            return;
        }
    }
    store.push_back(value);
    store.back().path = spelling;
}

// Whether the data can be written in its type's named form and read back
// the same: text with one terminator, at its end; a REG_DWORD of four bytes.
bool hasNamedForm(const Line& value) {
    const std::string& bytes = value.data;
    if (isText(value.type)) {
        return !bytes.empty() && bytes.find('\0') == bytes.size() - 1;
    }
    return value.type < kNamedTypes && (value.type != 4 || bytes.size() == 4);
}

std::string valueFields(const Line& value) {
    const std::string& bytes = value.data;
    if (!hasNamedForm(value)) {
        return std::to_string(value.type) + '\t' + toHex(bytes, false);
    }
    const std::string type = std::string(kTypeNames[value.type]) + '\t';
    if (isText(value.type)) {
        return type + toHex(bytes.substr(0, bytes.size() - 1), true);
    }
    if (value.type != 4) {
        return type + toHex(bytes, false);
    }
    return type + std::to_string(readLe32(reinterpret_cast<const unsigned char*>(bytes.data())));
}

// The reverse of valueFields.
bool parseValue(const std::string& type, const std::string& data, Line& value) {
    value.type = 0;
    while (value.type < kNamedTypes && type != kTypeNames[value.type]) {
        ++value.type;
    }
    if (value.type == kNamedTypes) {
        return parseNumber(type, value.type) && fromHex(data, false, value.data);
    }
    if (isText(value.type)) {
        const bool parsed = fromHex(data, true, value.data);
        value.data += '\0';
        return parsed;
    }
    uint32_t number = 0;
    if (value.type != 4) {
        return fromHex(data, false, value.data);
    }
    if (!parseNumber(data, number)) {
        return false;
    }
    for (int shift = 0; shift < 32; shift += 8) {
        value.data += static_cast<char>(number >> shift);
    }
    return true;
}

// Lines may come in any order; a later line for the same value replaces an
// earlier one. False when a line does not follow the format: such a store is
// refused, never overwritten.
bool parseStore(const std::string& text, Store& store) {
    for (size_t start = 0, end = 0; start < text.size(); start = end + 1) {
        end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back(); // an editor's line end; a field's own is %0D
        }
        if (line.empty()) {
            continue;
        }
        std::vector<std::string> fields;
        for (size_t from = 0, tab = 0; tab != std::string::npos; from = tab + 1) {
            tab = line.find('\t', from);
            fields.push_back(line.substr(from, tab - from));
        }
        Line value{{}, true, {}, 0, {}};
        if ((fields.size() != 1 && fields.size() != 4) || !fromHex(fields[0], true, value.path) ||
            (fields.size() == 4 &&
             (!fromHex(fields[1], true, value.name) || !parseValue(fields[2], fields[3], value)))) {
            return false;
        }
        if (fields.size() == 1) {
            addKey(store, value.path);
        } else {
            setValue(store, value);
        }
    }
    return true;
}

std::string storeText(const Store& store) {
    std::string text;
    for (const Line& line : store) {
        text += toHex(line.path, true);
        if (line.isValue) {
            text += '\t' + toHex(line.name, true) + '\t' + valueFields(line);
        }
        text += '\n';
    }
    return text;
}

// The file of a root's store; empty when no data home is known.
std::string storePath(platform::RegistryRoot root) {
    const std::string base = dataHome();
    return base.empty() ? base
                        : base + "/vemsetup/registry/" +
                              (root == platform::kHkeyLocalMachine ? "HKEY_LOCAL_MACHINE.txt"
                                                                   : "HKEY_CURRENT_USER.txt");
}

// A missing file is an empty store.
long loadStore(const std::string& path, Store& store) {
    std::string text;
    const int error = path.empty() ? ENOENT : readFile(path.c_str(), text);
    if (error != 0 && error != ENOENT && error != ENOTDIR) {
        return kAccessDenied;
    }
    return parseStore(text, store) ? 0 : kBadDb;
}

// Whether the store may be changed. access() alone would always say yes to
// root, so a file with no write bit at all also counts as read-only.
bool storeWritable(const std::string& path) {
    const std::string directory = path.substr(0, path.rfind('/') + 1);
    if (path.empty() || !makeDirectories(directory) ||
        access(directory.c_str(), W_OK | X_OK) != 0) {
        return false;
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return errno == ENOENT;
    }
    return (info.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

// Replaced whole, so a reader never sees half a file and a failed write
// leaves the old store as it was.
long saveStore(const std::string& path, const Store& store) {
    const std::string text = storeText(store);
    return writeFileAtomically(path.c_str(), text.data(), text.size()) ? 0 : kAccessDenied;
}

// The store of an open key, for a call that needs `rights`.
long loadKeyStore(platform::RegistryKey key, uint32_t rights, std::string& file, Store& store) {
    if ((key->access & rights) == 0) {
        return kAccessDenied;
    }
    file = storePath(key->root);
    const long status = loadStore(file, store);
    return status != 0 || keyExists(store, key->path) ? status : kKeyDeleted;
}

} // namespace

platform::RegistryKey rootKey(platform::RegistryRoot root) {
    return root == platform::kHkeyLocalMachine  ? &machineRoot
           : root == platform::kHkeyCurrentUser ? &userRoot
                                                : nullptr;
}

long regCreateKey(platform::RegistryKey root, const char* subKey, uint32_t access,
                  platform::RegistryKey* key) {
    std::string path = root->path;
    if (subKey && subKey[0] != '\0') {
        path += (path.empty() ? "" : "\\") + std::string(subKey);
        if (path.back() == '\\') {
            path.pop_back(); // one trailing separator is tolerated
        }
    }
    const std::string file = storePath(root->root);
    Store store;
    long status = loadStore(file, store);
    const bool exists = status == 0 && keyExists(store, path);
    if (status == 0 && ((access & kSetRights) != 0 || !exists) && !storeWritable(file)) {
        status = kAccessDenied;
    }
    if (status == 0 && !exists) {
        addKey(store, path);
        status = saveStore(file, store);
    }
    if (status == 0) {
        *key = new platform::RegistryKeyObject{root->root, false, access, path};
    }
    return status;
}

long regQueryValue(platform::RegistryKey key, const char* valueName, uint32_t* type,
                   unsigned char* data, uint32_t* size) {
    std::string file;
    Store store;
    const long status = loadKeyStore(key, kQueryRights, file, store);
    if (status != 0) {
        return status;
    }
    const std::string name = valueName ? valueName : "";
    const Line* value = nullptr;
    for (const Line& line : store) {
        if (line.isValue && sameName(line.path, key->path) && sameName(line.name, name)) {
            value = &line;
        }
    }
    if (!value) {
        return kFileNotFound;
    }
    if (value->data.size() > 0xFFFFFFFFu) {
        return kBadDb;
    }
    const uint32_t dataSize = static_cast<uint32_t>(value->data.size());
    if (type) {
        *type = value->type;
    }
    const bool fits = !data || (size && *size >= dataSize);
    if (data && fits) {
        memcpy(data, value->data.data(), dataSize);
    }
    if (size) {
        *size = dataSize;
    }
    return fits ? 0 : kMoreData;
}

long regSetValue(platform::RegistryKey key, const char* valueName, uint32_t type,
                 const unsigned char* data, uint32_t size) {
    if (!data && size > 0) {
        return kAccessDenied;
    }
    std::string file;
    Store store;
    long status = loadKeyStore(key, kSetRights, file, store);
    if (status == 0 && !storeWritable(file)) {
        status = kAccessDenied;
    }
    if (status != 0) {
        return status;
    }
    const std::string bytes(reinterpret_cast<const char*>(data), data ? size : 0);
    setValue(store, Line{key->path, true, valueName ? valueName : "", type, bytes});
    return saveStore(file, store);
}

// A key with subkeys is refused, as RegDeleteKeyA refuses it; its parent
// stays, as a key without values if it has nothing else.
long regDeleteKey(platform::RegistryKey root, const char* subKey) {
    if (!subKey || subKey[0] == '\0') {
        return kAccessDenied;
    }
    const std::string path = root->path + (root->path.empty() ? "" : "\\") + subKey;
    const std::string file = storePath(root->root);
    Store store;
    long status = loadStore(file, store);
    if (status != 0) {
        return status;
    }
    if (!keyExists(store, path)) {
        return kFileNotFound;
    }
    for (const Line& line : store) {
        if (!sameName(line.path, path) && keyExists(Store{line}, path)) {
            return kAccessDenied; // a subkey
        }
    }
    if (!storeWritable(file)) {
        return kAccessDenied;
    }
    store.erase(std::remove_if(store.begin(), store.end(),
                               [&](const Line& line) { return sameName(line.path, path); }),
                store.end());
    const size_t separator = path.rfind('\\');
    if (separator != std::string::npos) {
        addKey(store, path.substr(0, separator));
    }
    return saveStore(file, store);
}

long regCloseKey(platform::RegistryKey key) {
    if (key && !key->predefined) {
        delete key;
    }
    return 0;
}

} // namespace posix
