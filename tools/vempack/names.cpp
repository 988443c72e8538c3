// Entry name rules and helpers.
#include "names.h"

#include "format/entry_name.h"

#include <cstdio>
#include <filesystem>
#include <unordered_set>
#include <utility>

namespace vempack {
namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

// The stub's own rule decides; the checks before it only name the problem,
// and add what the packer asks beyond it: one plain file name (no levels)
// that Windows stores exactly as given.
std::string nameProblem(const std::string& name) {
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.size() > kMaxNameLength) {
        return "the name is " + std::to_string(name.size()) + " bytes long; at most " +
               std::to_string(kMaxNameLength) + " are allowed";
    }
    for (char c : name) {
        if (c == '\0') {
            return "the name contains a zero byte";
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            return "the name contains a control character";
        }
        if (c == kNameSeparator || isRefusedNameCharacter(static_cast<unsigned char>(c))) {
            return std::string("the name contains the character '") + c + "'";
        }
    }
    if (name.back() == '.' || name.back() == ' ') {
        return "the name ends in a dot or space, which Windows strips";
    }
    if (!isSafeEntryName(name.c_str(), neverLeadByte)) {
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
