#include "platform/posix/registry_text.h"

namespace posix {

namespace {

// The names of types 0 to 7; other types are written by number.
const char* const kTypeNames[] = {"REG_NONE",   "REG_SZ",      "REG_EXPAND_SZ",
                                  "REG_BINARY", "REG_DWORD",   "REG_DWORD_BIG_ENDIAN",
                                  "REG_LINK",   "REG_MULTI_SZ"};
constexpr uint32_t kNamedTypes = sizeof kTypeNames / sizeof kTypeNames[0];

enum Form { kText, kNumber, kHex };

Form formOf(uint32_t type) {
    return type == 1 || type == 2 ? kText : type == 4 ? kNumber : kHex;
}

// Whether the data can be written in its type's form and read back the same.
bool fitsForm(Form form, const std::string& data) {
    if (form == kText) {
        return !data.empty() && data.find('\0') == data.size() - 1;
    }
    return form == kHex || data.size() == 4;
}

char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

void appendHex(std::string& out, char c, const char* digits) {
    out += digits[static_cast<unsigned char>(c) >> 4];
    out += digits[c & 15];
}

int hexValue(char c) {
    c = foldCase(c);
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The byte that two hex digits at `at` spell; false when they do not.
bool hexByte(const std::string& text, size_t at, std::string& out) {
    const int high = at + 1 < text.size() ? hexValue(text[at]) : -1;
    const int low = high >= 0 ? hexValue(text[at + 1]) : -1;
    if (low >= 0) {
        out += static_cast<char>(high * 16 + low);
    }
    return low >= 0;
}

std::string escape(const std::string& field) {
    std::string out;
    for (char c : field) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '%') {
            out += '%';
            appendHex(out, c, "0123456789ABCDEF");
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
        } else if (!hexByte(field, i + 1, out)) {
            return false;
        } else {
            i += 2;
        }
    }
    return true;
}

std::string toHex(const std::string& data) {
    std::string out;
    for (char c : data) {
        appendHex(out, c, "0123456789abcdef");
    }
    return out;
}

bool fromHex(const std::string& text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        if (!hexByte(text, i, out)) {
            return false;
        }
    }
    return true;
}

// Decimal digits, or hex digits after "0x" as a hand might write them; at
// most 32 bits.
bool parseNumber(const std::string& text, uint32_t& number) {
    const bool hex = text.size() > 2 && text[0] == '0' && foldCase(text[1]) == 'x';
    uint64_t value = 0;
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const int digit = hexValue(text[i]);
        if (digit < 0 || (!hex && digit > 9) ||
            (value = value * (hex ? 16 : 10) + static_cast<uint64_t>(digit)) >> 32) {
            return false;
        }
    }
    number = static_cast<uint32_t>(value);
    return !text.empty();
}

// The type field and data field of a value.
void formatValue(const RegistryLine& value, std::string& type, std::string& data) {
    const Form form = formOf(value.type);
    const std::string& bytes = value.data;
    if (value.type >= kNamedTypes || !fitsForm(form, bytes)) {
        type = std::to_string(value.type);
        data = toHex(bytes);
        return;
    }
    type = kTypeNames[value.type];
    if (form == kText) {
        data = escape(bytes.substr(0, bytes.size() - 1));
    } else if (form == kNumber) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.data());
        data = std::to_string(b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24);
    } else {
        data = toHex(bytes);
    }
}

// The reverse of formatValue; `data` is unescaped already.
bool parseValue(const std::string& type, const std::string& data, RegistryLine& value) {
    value.type = 0;
    while (value.type < kNamedTypes && type != kTypeNames[value.type]) {
        ++value.type;
    }
    if (value.type == kNamedTypes) {
        return parseNumber(type, value.type) && fromHex(data, value.data);
    }
    const Form form = formOf(value.type);
    uint32_t number = 0;
    if (form == kText) {
        value.data = data + '\0';
    } else if (form == kNumber && parseNumber(data, number)) {
        const char bytes[4] = {static_cast<char>(number), static_cast<char>(number >> 8),
                               static_cast<char>(number >> 16), static_cast<char>(number >> 24)};
        value.data.assign(bytes, 4);
    } else {
        return form == kHex && fromHex(data, value.data);
    }
    return true;
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
    RegistryLine value{{}, true, {}, 0, {}};
    if ((parts.size() != 1 && parts.size() != 4) || !unescape(parts[0], value.path)) {
        return false;
    }
    if (parts.size() == 1) {
        registryAddKey(store, value.path);
        return true;
    }
    std::string data;
    if (!unescape(parts[1], value.name) || !unescape(parts[3], data) ||
        !parseValue(parts[2], data, value)) {
        return false;
    }
    registrySetValue(store, value.path, value.name, value.type, value.data);
    return true;
}

bool sameName(const std::string& a, const std::string& b) {
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

} // namespace

bool registryKeyExists(const RegistryStore& store, const std::string& path) {
    for (const RegistryLine& line : store) {
        if (line.path.size() >= path.size() && sameName(line.path.substr(0, path.size()), path) &&
            (line.path.size() == path.size() || line.path[path.size()] == '\\')) {
            return true;
        }
    }
    return path.empty();
}

void registryAddKey(RegistryStore& store, const std::string& path) {
    if (!registryKeyExists(store, path)) {
        store.push_back(RegistryLine{path, false, {}, 0, {}});
    }
}

const RegistryLine* registryFindValue(const RegistryStore& store, const std::string& path,
                                      const std::string& name) {
    for (const RegistryLine& line : store) {
        if (line.isValue && sameName(line.path, path) && sameName(line.name, name)) {
            return &line;
        }
    }
    return nullptr;
}

void registrySetValue(RegistryStore& store, const std::string& path, const std::string& name,
                      uint32_t type, const std::string& data) {
    std::string spelling = path;
    for (size_t i = 0; i < store.size(); ++i) {
        RegistryLine& line = store[i];
        if (!sameName(line.path, path)) {
            continue;
        }
        spelling = line.path;
        if (!line.isValue) { // the key has a value now
            store.erase(store.begin() + static_cast<std::ptrdiff_t>(i--));
        } else if (sameName(line.name, name)) {
            line.type = type;
            line.data = data;
            return;
        }
    }
    store.push_back(RegistryLine{spelling, true, name, type, data});
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
    for (const RegistryLine& line : store) {
        text += escape(line.path);
        if (line.isValue) {
            std::string type;
            std::string data;
            formatValue(line, type, data);
            text += '\t' + escape(line.name) + '\t' + type + '\t' + data;
        }
        text += '\n';
    }
    return text;
}

} // namespace posix
