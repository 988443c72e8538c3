// Entry name rules and helpers.
#include "names.h"

#include <cstdio>
#include <filesystem>
#include <unordered_set>
#include <utility>

namespace vempack {
namespace {

// Characters Windows refuses in file names; '/', '\\' and ':' would also make
// the name a path.
constexpr char kForbiddenCharacters[] = "<>:\"/\\|?*";

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Windows opens the device, not a file, for these names with any extension.
bool isDeviceName(const std::string& name) {
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
        if (equalsIgnoringCase(stem, device)) {
            return true;
        }
    }
    return stem.size() == 4 &&
           (equalsIgnoringCase(stem.substr(0, 3), "com") ||
            equalsIgnoringCase(stem.substr(0, 3), "lpt")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

} // namespace

std::string nameProblem(const std::string& name) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.size() > kMaxNameLength) {
        return "the name is " + std::to_string(name.size()) + " bytes long; at most " +
               std::to_string(kMaxNameLength) + " are allowed";
    }
    if (name == "." || name == "..") {
        return "the name refers to a directory";
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            return "the name contains a zero byte";
        }
        if (byte < 0x20) {
            return "the name contains a control character";
        }
        for (const char* f = kForbiddenCharacters; *f != '\0'; ++f) {
            if (c == *f) {
                return std::string("the name contains the character '") + c + "'";
            }
        }
    }
    if (name.back() == '.' || name.back() == ' ') {
        return "the name ends in a dot or space, which Windows strips";
    }
    if (isDeviceName(name)) {
        return "the name is a Windows device name";
    }
    return std::string();
}

std::optional<std::size_t> findDuplicateName(const std::vector<std::string>& names) {
    std::unordered_set<std::string> seen;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string folded = names[i];
        for (char& c : folded) {
            c = lowerAscii(c);
        }
        if (!seen.insert(std::move(folded)).second) {
            return i;
        }
    }
    return std::nullopt;
}

std::string displayName(const std::string& name) {
    std::string shown;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && c != '\\') {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        }
    }
    return shown;
}

InputSpec parseInputSpec(const std::string& argument) {
    const std::size_t equals = argument.find('=');
    if (equals != std::string::npos) {
        return {argument.substr(0, equals), argument.substr(equals + 1)};
    }
    return {std::filesystem::path(argument).filename().string(), argument};
}

} // namespace vempack
