#include "platform/posix/regedit_format.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

namespace posix {

namespace {

constexpr uint32_t kTypeSz = 1;
constexpr uint32_t kTypeBinary = 3;
constexpr uint32_t kTypeDword = 4;

// regedit breaks hex data after this many columns, continuing with "\".
constexpr size_t kHexLineWidth = 76;

char foldChar(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameFolded(const std::string& a, const char* b) {
    size_t length = strlen(b);
    if (a.size() != length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (foldChar(a[i]) != foldChar(b[i])) {
            return false;
        }
    }
    return true;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    c = foldChar(c);
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// One physical line of the input, without its line break.
struct Line {
    const char* text;
    size_t length;
};

// Splits at '\n', dropping a '\r' before it and trailing blanks.
std::vector<Line> splitLines(const char* text, size_t length) {
    std::vector<Line> lines;
    size_t start = 0;
    while (start < length) {
        const void* found = memchr(text + start, '\n', length - start);
        size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - text) : length;
        size_t stop = end;
        while (stop > start && (text[stop - 1] == '\r' || isBlank(text[stop - 1]))) {
            --stop;
        }
        lines.push_back(Line{text + start, stop - start});
        start = end + 1;
    }
    return lines;
}

// A cursor over the lines that the hex reader can move onto continuation lines.
struct Cursor {
    const std::vector<Line>* lines;
    size_t line;
    size_t pos;

    const Line& current() const { return (*lines)[line]; }
    bool atEnd() const { return pos >= current().length; }
    char peek() const { return current().text[pos]; }
    void skipBlanks() {
        while (!atEnd() && isBlank(peek())) {
            ++pos;
        }
    }
};

// Reads a quoted text whose opening quote is at the cursor. The format
// escapes '\' and '"' with a backslash; "\n" and "\r" are understood too
// because names may hold line breaks, which have no other spelling.
bool readQuoted(Cursor& cursor, std::string& out) {
    out.clear();
    ++cursor.pos; // opening quote
    while (!cursor.atEnd()) {
        char c = cursor.peek();
        ++cursor.pos;
        if (c == '"') {
            return true;
        }
        if (c == '\\' && !cursor.atEnd()) {
            char next = cursor.peek();
            if (next == '\\' || next == '"') {
                out.push_back(next);
                ++cursor.pos;
                continue;
            }
            if (next == 'n' || next == 'r') {
                out.push_back(next == 'n' ? '\n' : '\r');
                ++cursor.pos;
                continue;
            }
        }
        out.push_back(c);
    }
    return false; // no closing quote on this line
}

// Reads 1 to 8 hex digits into *value.
bool readHexNumber(Cursor& cursor, uint32_t* value) {
    uint32_t result = 0;
    int digits = 0;
    while (!cursor.atEnd() && hexDigit(cursor.peek()) >= 0) {
        if (digits == 8) {
            return false;
        }
        result = (result << 4) | static_cast<uint32_t>(hexDigit(cursor.peek()));
        ++digits;
        ++cursor.pos;
    }
    *value = result;
    return digits > 0;
}

bool consumePrefix(Cursor& cursor, const char* prefix) {
    size_t length = strlen(prefix);
    const Line& line = cursor.current();
    if (line.length - cursor.pos < length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (foldChar(line.text[cursor.pos + i]) != prefix[i]) {
            return false;
        }
    }
    cursor.pos += length;
    return true;
}

// Reads "xx,xx,..." where a line ending in '\' continues on the next line.
bool readHexBytes(Cursor& cursor, std::vector<unsigned char>& out) {
    out.clear();
    for (;;) {
        cursor.skipBlanks();
        if (cursor.atEnd()) {
            return true;
        }
        if (cursor.peek() == '\\') {
            ++cursor.pos;
            cursor.skipBlanks();
            if (!cursor.atEnd() || cursor.line + 1 >= cursor.lines->size()) {
                return false;
            }
            ++cursor.line;
            cursor.pos = 0;
            continue;
        }
        int high = hexDigit(cursor.peek());
        if (high < 0) {
            return false;
        }
        ++cursor.pos;
        int value = high;
        if (!cursor.atEnd() && hexDigit(cursor.peek()) >= 0) {
            value = (high << 4) | hexDigit(cursor.peek());
            ++cursor.pos;
        }
        out.push_back(static_cast<unsigned char>(value));
        cursor.skipBlanks();
        if (cursor.atEnd()) {
            return true;
        }
        if (cursor.peek() == ',') {
            ++cursor.pos;
        } else if (cursor.peek() != '\\') {
            return false;
        }
    }
}

// Parses one value line starting at the cursor (on '"' or '@'); adds the value
// to `key` when the line is well formed. The cursor may move onto
// continuation lines.
void parseValueLine(Cursor& cursor, RegeditKey* key) {
    std::string name;
    if (cursor.peek() == '@') {
        ++cursor.pos;
    } else if (!readQuoted(cursor, name)) {
        return;
    }
    if (name.find('\0') != std::string::npos) {
        return; // a name no caller could ever ask for
    }
    cursor.skipBlanks();
    if (cursor.atEnd() || cursor.peek() != '=') {
        return;
    }
    ++cursor.pos;
    cursor.skipBlanks();
    if (cursor.atEnd()) {
        return;
    }

    uint32_t type = 0;
    std::vector<unsigned char> data;
    if (cursor.peek() == '"') {
        std::string text;
        if (!readQuoted(cursor, text)) {
            return;
        }
        cursor.skipBlanks();
        if (!cursor.atEnd()) {
            return;
        }
        type = kTypeSz;
        data.assign(text.begin(), text.end());
        data.push_back(0); // stored with its terminator, as RegSetValueEx is given it
    } else if (consumePrefix(cursor, "dword:")) {
        uint32_t value = 0;
        if (!readHexNumber(cursor, &value)) {
            return;
        }
        cursor.skipBlanks();
        if (!cursor.atEnd()) {
            return;
        }
        type = kTypeDword;
        for (int i = 0; i < 4; ++i) {
            data.push_back(static_cast<unsigned char>(value >> (8 * i)));
        }
    } else if (consumePrefix(cursor, "hex")) {
        type = kTypeBinary;
        if (!cursor.atEnd() && cursor.peek() == '(') {
            ++cursor.pos;
            if (!readHexNumber(cursor, &type) || cursor.atEnd() || cursor.peek() != ')') {
                return;
            }
            ++cursor.pos;
        }
        if (cursor.atEnd() || cursor.peek() != ':') {
            return;
        }
        ++cursor.pos;
        if (!readHexBytes(cursor, data)) {
            return;
        }
    } else {
        return; // deletions ("=-") and anything unknown
    }
    if (key) {
        regeditSetValue(*key, name.c_str(), type, data.data(), data.size());
    }
}

void appendEscaped(std::string& out, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\\' || c == '"') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out.push_back(c);
        }
    }
}

// True when the data reads back identically from "text" form: one
// terminating zero, no other zero and no line break.
bool storableAsText(const std::vector<unsigned char>& data) {
    if (data.empty() || data.back() != 0) {
        return false;
    }
    for (size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == 0 || data[i] == '\n' || data[i] == '\r') {
            return false;
        }
    }
    return true;
}

void appendValue(std::string& out, const RegeditValue& value) {
    size_t lineStart = out.size();
    if (value.name.empty()) {
        out.push_back('@');
    } else {
        out.push_back('"');
        appendEscaped(out, value.name.data(), value.name.size());
        out.push_back('"');
    }
    out.push_back('=');

    char number[32];
    if (value.type == kTypeSz && storableAsText(value.data)) {
        out.push_back('"');
        appendEscaped(out, reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1);
        out += "\"\n";
        return;
    }
    if (value.type == kTypeDword && value.data.size() == 4) {
        uint32_t dword =
            static_cast<uint32_t>(value.data[0]) | static_cast<uint32_t>(value.data[1]) << 8 |
            static_cast<uint32_t>(value.data[2]) << 16 | static_cast<uint32_t>(value.data[3]) << 24;
        snprintf(number, sizeof number, "dword:%08x\n", static_cast<unsigned>(dword));
        out += number;
        return;
    }
    if (value.type == kTypeBinary) {
        out += "hex:";
    } else {
        snprintf(number, sizeof number, "hex(%x):", static_cast<unsigned>(value.type));
        out += number;
    }
    for (size_t i = 0; i < value.data.size(); ++i) {
        snprintf(number, sizeof number, "%02x", static_cast<unsigned>(value.data[i]));
        out += number;
        if (i + 1 < value.data.size()) {
            out.push_back(',');
            if (out.size() - lineStart > kHexLineWidth) {
                out += "\\\n  ";
                lineStart = out.size() - 2;
            }
        }
    }
    out.push_back('\n');
}

// Tree order: a parent sorts before its children, and "A\B" before "A B",
// so the separator ranks below every other character.
bool treeOrder(const std::string& a, const std::string& b) {
    size_t length = std::min(a.size(), b.size());
    for (size_t i = 0; i < length; ++i) {
        unsigned char x = a[i] == '\\' ? 0 : static_cast<unsigned char>(foldChar(a[i]));
        unsigned char y = b[i] == '\\' ? 0 : static_cast<unsigned char>(foldChar(b[i]));
        if (x != y) {
            return x < y;
        }
    }
    return a.size() < b.size();
}

} // namespace

bool regeditPathHoldable(const std::string& path) {
    if (path.empty() || path[0] == '-') {
        return false;
    }
    if (path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        return false;
    }
    if (path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string::npos) {
        return false;
    }
    return true;
}

std::string regeditFoldCase(const std::string& text) {
    std::string folded(text);
    for (char& c : folded) {
        c = foldChar(c);
    }
    return folded;
}

RegeditKey* regeditFindKey(RegeditStore& store, const std::string& path) {
    auto found = store.index.find(regeditFoldCase(path));
    return found == store.index.end() ? nullptr : &store.keys[found->second];
}

RegeditKey* regeditAddKey(RegeditStore& store, const std::string& path, bool* created) {
    if (created) {
        *created = false;
    }
    if (!regeditPathHoldable(path)) {
        return nullptr;
    }
    std::string folded = regeditFoldCase(path);
    auto found = store.index.find(folded);
    if (found != store.index.end()) {
        return &store.keys[found->second];
    }
    // Every level from the top, so that the tree stays whole.
    size_t end = 0;
    do {
        end = path.find('\\', end + 1);
        size_t length = end == std::string::npos ? path.size() : end;
        std::string levelFolded = folded.substr(0, length);
        if (store.index.find(levelFolded) == store.index.end()) {
            store.index.emplace(levelFolded, store.keys.size());
            store.keys.push_back(RegeditKey{path.substr(0, length), {}});
            if (created) {
                *created = true;
            }
        }
    } while (end != std::string::npos);
    return &store.keys[store.index[folded]];
}

RegeditValue* regeditFindValue(RegeditKey& key, const char* name) {
    if (!name) {
        name = "";
    }
    for (RegeditValue& value : key.values) {
        if (sameFolded(value.name, name)) {
            return &value;
        }
    }
    return nullptr;
}

void regeditSetValue(RegeditKey& key, const char* name, uint32_t type, const unsigned char* data,
                     size_t size) {
    if (!name) {
        name = "";
    }
    RegeditValue* value = regeditFindValue(key, name);
    if (!value) {
        key.values.push_back(RegeditValue{name, 0, {}});
        value = &key.values.back();
    }
    value->type = type;
    if (data && size > 0) {
        value->data.assign(data, data + size);
    } else {
        value->data.clear();
    }
}

bool parseRegedit(const char* text, size_t length, RegeditStore& store) {
    store.keys.clear();
    store.index.clear();
    if (!text) {
        return false;
    }
    if (length >= 3 && memcmp(text, "\xEF\xBB\xBF", 3) == 0) {
        text += 3; // a UTF-8 signature written by some editors
        length -= 3;
    }
    std::vector<Line> lines = splitLines(text, length);
    if (lines.empty() || lines[0].length != 8 || memcmp(lines[0].text, "REGEDIT4", 8) != 0) {
        return false;
    }

    // Index of the section being read; npos while outside any usable section.
    size_t section = std::string::npos;
    Cursor cursor{&lines, 1, 0};
    while (cursor.line < lines.size()) {
        cursor.pos = 0;
        cursor.skipBlanks();
        if (!cursor.atEnd()) {
            char first = cursor.peek();
            const Line& line = cursor.current();
            if (first == '[') {
                section = std::string::npos;
                if (line.text[line.length - 1] == ']' && line.length - cursor.pos >= 2) {
                    std::string path(line.text + cursor.pos + 1, line.length - cursor.pos - 2);
                    RegeditKey* key = regeditAddKey(store, path, nullptr);
                    if (key) {
                        section = static_cast<size_t>(key - store.keys.data());
                    }
                }
            } else if (first == '"' || first == '@') {
                // Parsed even outside a section so that continuation lines
                // are consumed and not mistaken for lines of their own.
                parseValueLine(cursor,
                               section == std::string::npos ? nullptr : &store.keys[section]);
            }
        }
        ++cursor.line;
    }
    return true;
}

std::string serializeRegedit(const RegeditStore& store) {
    std::vector<const RegeditKey*> ordered;
    ordered.reserve(store.keys.size());
    for (const RegeditKey& key : store.keys) {
        ordered.push_back(&key);
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const RegeditKey* a, const RegeditKey* b) {
        return treeOrder(a->path, b->path);
    });

    std::string out = "REGEDIT4\n\n";
    for (const RegeditKey* key : ordered) {
        out.push_back('[');
        out += key->path;
        out += "]\n";
        for (const RegeditValue& value : key->values) {
            appendValue(out, value);
        }
        out.push_back('\n');
    }
    return out;
}

} // namespace posix
