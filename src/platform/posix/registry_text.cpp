#include "platform/posix/registry_text.h"

#include <string.h>

namespace posix {

namespace {

constexpr uint32_t kTypeSz = 1;
constexpr uint32_t kTypeExpandSz = 2;
constexpr uint32_t kTypeDword = 4;

struct TypeName {
    uint32_t type;
    const char* name;
};

const TypeName kTypeNames[] = {
    {0, "REG_NONE"},   {1, "REG_SZ"},       {2, "REG_EXPAND_SZ"},
    {3, "REG_BINARY"}, {4, "REG_DWORD"},    {5, "REG_DWORD_BIG_ENDIAN"},
    {6, "REG_LINK"},   {7, "REG_MULTI_SZ"}, {11, "REG_QWORD"},
};

const char* typeName(uint32_t type) {
    for (const TypeName& known : kTypeNames) {
        if (known.type == type) {
            return known.name;
        }
    }
    return nullptr;
}

char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

int hexValue(char c) {
    c = foldCase(c);
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

const char kHexDigits[] = "0123456789abcdef";
const char kEscapeDigits[] = "0123456789ABCDEF";

std::string escape(const std::string& field) {
    std::string out;
    for (char c : field) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '%') {
            out += '%';
            out += kEscapeDigits[static_cast<unsigned char>(c) >> 4];
            out += kEscapeDigits[c & 15];
        } else {
            out += c;
        }
    }
    return out;
}

bool unescape(const std::string& field, std::string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        const int high = i + 2 < field.size() ? hexValue(field[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(field[i + 2]) : -1;
        if (low < 0) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

std::string toHex(const std::string& data) {
    std::string out;
    for (char c : data) {
        out += kHexDigits[static_cast<unsigned char>(c) >> 4];
        out += kHexDigits[c & 15];
    }
    return out;
}

bool fromHex(const std::string& text, std::string& out) {
    out.clear();
    if (text.size() % 2 != 0) {
        return false;
    }
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        out += static_cast<char>(high * 16 + low);
    }
    return true;
}

bool isText(uint32_t type) {
    return type == kTypeSz || type == kTypeExpandSz;
}

// The type field and data field of a value.
void formatValue(const StoredValue& value, std::string& type, std::string& data) {
    const char* name = typeName(value.type);
    const std::string& bytes = value.data;
    if (isText(value.type) && !bytes.empty() && bytes.find('\0') == bytes.size() - 1) {
        type = name;
        data = escape(bytes.substr(0, bytes.size() - 1));
    } else if (value.type == kTypeDword && bytes.size() == 4) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
        type = name;
        data = std::to_string(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
    } else if (name && !isText(value.type) && value.type != kTypeDword) {
        type = name;
        data = toHex(bytes);
    } else {
        type = std::to_string(value.type);
        data = toHex(bytes);
    }
}

bool parseDecimal(const std::string& text, uint32_t& number) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    number = static_cast<uint32_t>(value);
    return value <= 0xFFFFFFFFu;
}

// The reverse of formatValue.
bool parseValue(const std::string& type, const std::string& data, StoredValue& value) {
    for (const TypeName& known : kTypeNames) {
        if (type != known.name) {
            continue;
        }
        value.type = known.type;
        if (isText(known.type)) {
            value.data = data + '\0';
            return true;
        }
        uint32_t number = 0;
        if (known.type == kTypeDword) {
            if (!parseDecimal(data, number)) {
                return false;
            }
            const char bytes[4] = {static_cast<char>(number), static_cast<char>(number >> 8),
                                   static_cast<char>(number >> 16),
                                   static_cast<char>(number >> 24)};
            value.data.assign(bytes, 4);
            return true;
        }
        return fromHex(data, value.data);
    }
    return parseDecimal(type, value.type) && fromHex(data, value.data);
}

// Splits at tabs.
std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) {
            return out;
        }
        start = tab + 1;
    }
}

bool parseLine(const std::string& line, RegistryStore& store) {
    const std::vector<std::string> parts = fields(line);
    std::string path;
    if ((parts.size() != 1 && parts.size() != 4) || !unescape(parts[0], path)) {
        return false;
    }
    StoredKey& key = registryAddKey(store, path);
    if (parts.size() == 1) {
        return true;
    }
    StoredValue value;
    std::string data;
    if (!unescape(parts[1], value.name) || !unescape(parts[3], data) ||
        !parseValue(parts[2], data, value)) {
        return false;
    }
    registrySetValue(key, value.name, value.type, value.data);
    return true;
}

} // namespace

bool sameRegistryName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (foldCase(a[i]) != foldCase(b[i])) {
            return false;
        }
    }
    return true;
}

bool registryKeyExists(const RegistryStore& store, const std::string& path) {
    if (path.empty()) {
        return true;
    }
    for (const StoredKey& key : store) {
        if (key.path.size() >= path.size() &&
            sameRegistryName(key.path.substr(0, path.size()), path) &&
            (key.path.size() == path.size() || key.path[path.size()] == '\\')) {
            return true;
        }
    }
    return false;
}

StoredKey& registryAddKey(RegistryStore& store, const std::string& path) {
    for (StoredKey& key : store) {
        if (sameRegistryName(key.path, path)) {
            return key;
        }
    }
    store.push_back(StoredKey{path, {}});
    return store.back();
}

const StoredValue* registryFindValue(const RegistryStore& store, const std::string& path,
                                     const std::string& name) {
    for (const StoredKey& key : store) {
        if (sameRegistryName(key.path, path)) {
            for (const StoredValue& value : key.values) {
                if (sameRegistryName(value.name, name)) {
                    return &value;
                }
            }
        }
    }
    return nullptr;
}

void registrySetValue(StoredKey& key, const std::string& name, uint32_t type,
                      const std::string& data) {
    for (StoredValue& value : key.values) {
        if (sameRegistryName(value.name, name)) {
            value.type = type;
            value.data = data;
            return;
        }
    }
    key.values.push_back(StoredValue{name, type, data});
}

bool parseRegistryText(const std::string& text, RegistryStore& store) {
    store.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back(); // an editor's line end; a field's own is %0D
        }
        if (!line.empty() && !parseLine(line, store)) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::string registryText(const RegistryStore& store) {
    std::string text;
    for (const StoredKey& key : store) {
        const std::string path = escape(key.path);
        if (key.values.empty() && !key.path.empty()) {
            text += path + '\n';
        }
        for (const StoredValue& value : key.values) {
            std::string type;
            std::string data;
            formatValue(value, type, data);
            text += path + '\t' + escape(value.name) + '\t' + type + '\t' + data + '\n';
        }
    }
    return text;
}

} // namespace posix
