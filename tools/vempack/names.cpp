// Entry name rules and helpers.
#include "names.h"

#include "format/entry_name.h"

#include <cstdio>
#include <unordered_map>
#include <utility>

namespace vempack {
namespace {

std::string escapedByte(unsigned char byte) {
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    return escaped;
}

bool isOnlyDotsAndBlanks(const std::string& level) {
    return level.find_first_not_of(". ") == std::string::npos;
}

// What is wrong with one level, or an empty string. The whole name has
// passed the character checks already.
std::string levelProblem(const std::string& level, LeadByteTest isLeadByte) {
    if (level.empty()) {
        return "is empty (a leading, trailing or doubled backslash)";
    }
    if (isOnlyDotsAndBlanks(level)) {
        return "is only dots and blanks, which Windows would strip or climb";
    }
    if (level.back() == '.' || level.back() == ' ') {
        return "ends in a dot or space, which Windows strips";
    }
    // One level alone: the stub's rule is left with the device names.
    if (!isSafeEntryName(level.c_str(), isLeadByte)) {
        return "is a Windows device name";
    }
    return std::string();
}

} // namespace

std::vector<std::string> nameLevels(const std::string& name, LeadByteTest isLeadByte) {
    std::vector<std::string> levels(1);
    for (std::size_t i = 0; i < name.size();) {
        if (name[i] == kNameSeparator) {
            levels.emplace_back();
            ++i;
            continue;
        }
        // c_str() ends in a terminator, so the trail byte read is bounded.
        const std::size_t size = characterSize(name.c_str() + i, isLeadByte);
        levels.back().append(name, i, size);
        i += size;
    }
    return levels;
}

std::vector<std::string> givenNameLevels(const std::string& name) {
    std::vector<std::string> levels(1);
    for (const char c : name) {
        if (c == '/' || c == kNameSeparator) {
            levels.emplace_back();
        } else {
            levels.back() += c;
        }
    }
    return levels;
}

std::string joinLevels(const std::vector<std::string>& levels) {
    std::string joined;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        joined += (i == 0 ? "" : std::string(1, kNameSeparator)) + levels[i];
    }
    return joined;
}

// The stub's own rule decides; the checks before it name the problem, and
// add what the packer asks beyond it.
std::string nameProblem(const std::string& name, LeadByteTest isLeadByte) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.size() > kMaxNameLength) {
        return "the name is " + std::to_string(name.size()) + " bytes long; at most " +
               std::to_string(kMaxNameLength) + " are allowed";
    }
    if (name.find('\0') != std::string::npos) {
        return "the name contains a zero byte";
    }
    for (std::size_t i = 0; i < name.size();) {
        const auto c = static_cast<unsigned char>(name[i]);
        const std::size_t size = characterSize(name.c_str() + i, isLeadByte);
        if (size == 1 && c < 0x20) {
            return "the name contains a control character";
        }
        if (size == 1 && isRefusedNameCharacter(c)) {
            return std::string("the name contains the character '") + name[i] + "'" +
                   (c == '/' ? " (levels are separated by '\\')" : "");
        }
        i += size;
    }
    const std::vector<std::string> levels = nameLevels(name, isLeadByte);
    for (std::size_t i = 0; i < levels.size(); ++i) {
        const std::string problem = levelProblem(levels[i], isLeadByte);
        if (!problem.empty()) {
            return (levels.size() == 1 ? std::string("the name")
                                       : "level " + std::to_string(i + 1) + " (\"" +
                                             displayName(levels[i]) + "\")") +
                   " " + problem;
        }
    }
    if (!isSafeEntryName(name.c_str(), isLeadByte)) {
        return "the stub would refuse the name";
    }
    return std::string();
}

std::optional<NameClash> findNameClash(const std::vector<std::wstring>& keys) {
    // Each path seen: the first entry that made it, and whether it is that
    // entry's file (else one of its folders).
    std::unordered_map<std::wstring, std::pair<std::size_t, bool>> seen;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::wstring& key = keys[i];
        for (std::size_t at = key.find(L'\\'); at != std::wstring::npos;
             at = key.find(L'\\', at + 1)) {
            const auto [found, added] = seen.emplace(key.substr(0, at), std::make_pair(i, false));
            if (!added && found->second.second) {
                return NameClash{i, found->second.first, true};
            }
        }
        const auto [found, added] = seen.emplace(key, std::make_pair(i, true));
        if (!added) {
            return NameClash{i, found->second.first, !found->second.second};
        }
    }
    return std::nullopt;
}

std::string displayName(const std::string& name) {
    std::string shown;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        shown += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : escapedByte(byte);
    }
    return shown;
}

std::string displayText(const std::string& utf8) {
    if (!isUtf8(utf8)) {
        return displayName(utf8);
    }
    std::string shown;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const auto next = i + 1 < utf8.size() ? static_cast<unsigned char>(utf8[i + 1]) : 0;
        if (byte < 0x20 || byte == 0x7F) {
            shown += escapedByte(byte);
        } else if (byte == 0xC2 && next >= 0x80 && next < 0xA0) {
            // U+0080 to U+009F: control characters too.
            shown += escapedByte(byte) + escapedByte(next);
            ++i;
        } else {
            shown += utf8[i];
        }
    }
    return shown;
}

std::string displayStoredName(const std::string& name, const CodePage& codePage) {
    if (!codePage.chosen() || isAscii(name)) {
        return displayName(name);
    }
    const std::optional<std::string> utf8 = codePage.toUtf8(name);
    return utf8 ? displayText(*utf8) : displayName(name);
}

} // namespace vempack
