#include "registry_file.h"

#include <cctype>
#include <fstream>

namespace wine_test {

namespace {

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

void appendUtf8(std::string* out, unsigned code) {
    if (code < 0x80) {
        out->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (code >> 6)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xE0 | (code >> 12)));
        out->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// The character that a one-letter C escape stands for; any other letter
// stands for itself (\\, \", \[ and \]).
char controlEscape(char letter) {
    static const char kEscapes[] = {'a', '\a', 'b', '\b', 'e', '\x1b', 'f', '\f',
                                    'n', '\n', 'r', '\r', 't', '\t',   'v', '\v'};
    for (size_t i = 0; i < sizeof kEscapes; i += 2) {
        if (kEscapes[i] == letter) {
            return kEscapes[i + 1];
        }
    }
    return letter;
}

// Reads an escaped text that starts at `*pos` and ends before the first
// unescaped `terminator`, which it skips. Wine writes C escapes, \xHHHH for
// characters above 127 and octal for other control characters.
bool readEscaped(const std::string& line, size_t* pos, char terminator, std::string* out) {
    out->clear();
    size_t i = *pos;
    while (i < line.size() && line[i] != terminator) {
        if (line[i] != '\\') {
            out->push_back(line[i++]);
            continue;
        }
        if (++i == line.size()) {
            return false;
        }
        const char c = line[i++];
        if (c == 'x') {
            unsigned code = 0;
            for (int digits = 0; digits < 4 && i < line.size() && hexDigit(line[i]) >= 0;
                 ++digits) {
                code = code * 16 + static_cast<unsigned>(hexDigit(line[i++]));
            }
            appendUtf8(out, code);
        } else if (c >= '0' && c <= '7') {
            unsigned code = static_cast<unsigned>(c - '0');
            for (int digits = 1; digits < 3 && i < line.size() && line[i] >= '0' && line[i] <= '7';
                 ++digits) {
                code = code * 8 + static_cast<unsigned>(line[i++] - '0');
            }
            appendUtf8(out, code);
        } else {
            out->push_back(controlEscape(c));
        }
    }
    if (i == line.size()) {
        return false;
    }
    *pos = i + 1;
    return true;
}

bool startsWith(const std::string& text, size_t pos, const std::string& prefix) {
    return text.compare(pos, prefix.size(), prefix) == 0;
}

// The part of a value line after "=": its type and data.
bool parseData(const std::string& line, size_t pos, RegistryValue* value) {
    if (startsWith(line, pos, "\"")) {
        ++pos;
        value->type = "sz";
        return readEscaped(line, &pos, '"', &value->data);
    }
    if (startsWith(line, pos, "str(")) {
        const size_t colon = line.find(':', pos);
        if (colon == std::string::npos || colon + 1 >= line.size() || line[colon + 1] != '"') {
            return false;
        }
        const std::string type = line.substr(pos, colon - pos);
        value->type = type == "str(2)" ? "expand_sz" : type == "str(7)" ? "multi_sz" : type;
        size_t start = colon + 2;
        return readEscaped(line, &start, '"', &value->data);
    }
    const size_t colon = line.find(':', pos);
    if (colon == std::string::npos) {
        return false;
    }
    const std::string type = line.substr(pos, colon - pos);
    value->type = type == "dword" ? "dword" : type == "hex" ? "binary" : type;
    value->data = line.substr(colon + 1);
    return true;
}

} // namespace

bool RegistryFile::load(const std::filesystem::path& path) {
    keys_.clear();
    std::ifstream in(path, std::ios::binary);
    std::string line;
    if (!std::getline(in, line) || line.rfind("WINE REGISTRY Version 2", 0) != 0) {
        return false;
    }
    std::map<std::string, RegistryValue>* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        // Binary data continues on the next line after a backslash.
        while (!line.empty() && line.back() == '\\' && line.find("=hex") != std::string::npos) {
            std::string next;
            if (!std::getline(in, next)) {
                break;
            }
            line.pop_back();
            line += next.substr(next.find_first_not_of(" \t") == std::string::npos
                                    ? next.size()
                                    : next.find_first_not_of(" \t"));
        }
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        size_t pos = 1;
        if (line[0] == '[') {
            std::string key;
            if (!readEscaped(line, &pos, ']', &key)) {
                return false;
            }
            current = &keys_[lower(key)];
            continue;
        }
        if (current == nullptr || (line[0] != '"' && line[0] != '@')) {
            continue;
        }
        std::string name;
        if (line[0] == '"' && !readEscaped(line, &pos, '"', &name)) {
            return false;
        }
        if (pos >= line.size() || line[pos] != '=') {
            return false;
        }
        RegistryValue value;
        if (!parseData(line, pos + 1, &value)) {
            return false;
        }
        (*current)[lower(name)] = value;
    }
    return true;
}

bool RegistryFile::hasKey(const std::string& key) const {
    return keys_.count(lower(key)) != 0;
}

std::optional<RegistryValue> RegistryFile::value(const std::string& key,
                                                 const std::string& name) const {
    const auto found = keys_.find(lower(key));
    if (found == keys_.end()) {
        return std::nullopt;
    }
    const auto entry = found->second.find(lower(name));
    if (entry == found->second.end()) {
        return std::nullopt;
    }
    return entry->second;
}

std::optional<std::string> RegistryFile::text(const std::string& key,
                                              const std::string& name) const {
    const std::optional<RegistryValue> found = value(key, name);
    if (!found || found->type != "sz") {
        return std::nullopt;
    }
    return found->data;
}

std::string textOf(const RegistryFile& registry, const std::string& key, const std::string& name) {
    const std::optional<RegistryValue> value = registry.value(key, name);
    if (!value) {
        return "<no value>";
    }
    if (value->type != "sz") {
        return "<a value of type " + value->type + ">";
    }
    return value->data;
}

} // namespace wine_test
