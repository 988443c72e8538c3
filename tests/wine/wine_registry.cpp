#include "wine_registry.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cctype>
#include <regex>
#include <sstream>
#include <vector>

namespace wine_test {

namespace fs = std::filesystem;

namespace {

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// reg's exit codes: 0 found, 1 no such key.
constexpr int kRegFound = 0;
constexpr int kRegNotFound = 1;

constexpr int kQueryAttempts = 3;

// Where Wine records the code pages of the locale it runs in.
constexpr char kCodePageKey[] = "HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage";

bool hasLineStarting(const std::string& report, const std::string& start) {
    return report.rfind(start, 0) == 0 || report.find("\n" + start) != std::string::npos;
}

} // namespace

// A key found is listed under its name; one missing gets reg's message.
bool isWellFormedReport(int status, const std::string& report) {
    return (status == kRegFound && hasLineStarting(report, "HKEY_")) ||
           (status == kRegNotFound && hasLineStarting(report, "reg: "));
}

std::string oemToUtf8(const std::string& text, const std::string& codePage) {
    if (codePage.empty()) {
        return text;
    }
    const std::string from = codePage == "65001" ? "UTF-8" : "CP" + codePage;
    const iconv_t converter = iconv_open("UTF-8", from.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return text;
    }
    // A byte of a code page becomes at most three bytes of UTF-8.
    std::string converted(text.size() * 3, '\0');
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char* out = converted.data();
    size_t outLeft = converted.size();
    const size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1)) {
        return text;
    }
    converted.resize(converted.size() - outLeft);
    return converted;
}

std::map<std::string, RegistryValue> parseRegQuery(const std::string& report) {
    // "    NAME    REG_TYPE    DATA": four blanks around each field; a name
    // may hold blanks itself, the type never does.
    static const std::regex valueLine("^    (.*?)    REG_([A-Z0-9_]+)(?:    (.*))?$");
    std::istringstream lines(report);
    std::string line;
    bool inKey = false;
    std::map<std::string, RegistryValue> values;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!inKey) {
            inKey = line.rfind("HKEY_", 0) == 0;
            continue;
        }
        std::smatch match;
        if (!std::regex_match(line, match, valueLine)) {
            break; // the blank line after the values, or the next key
        }
        values[lowerCase(match[1].str())] =
            RegistryValue{lowerCase(match[2].str()), match[3].str()};
    }
    return values;
}

WineRegistry::WineRegistry(WinePrefix* prefix, std::string root, fs::path output)
    : prefix_(prefix), root_(std::move(root)), output_(std::move(output)) {}

int WineRegistry::runQuery(const std::vector<std::string>& arguments, const std::string& codePage,
                           Values* values, std::string* report) const {
    std::vector<std::string> command = {"reg", "query"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    int status = -1;
    bool wellFormed = false;
    // A report that is neither a listing nor reg's own message is not an
    // answer about the registry; asked again, a loaded machine gives one.
    for (int attempt = 0; attempt < kQueryAttempts && !wellFormed; ++attempt) {
        std::error_code ec;
        fs::remove(output_, ec);
        status = prefix_->wine(command, output_);
        *report = oemToUtf8(readText(output_), codePage);
        wellFormed = isWellFormedReport(status, *report);
    }
    if (!wellFormed) {
        ADD_FAILURE() << "reg query " << testing::PrintToString(arguments) << " failed (" << status
                      << "):\n"
                      << *report;
    }
    *values = parseRegQuery(*report);
    return status;
}

// reg writes its report in the OEM code page of the prefix's locale, which
// the environment of the Wine process decides (LC_ALL and the like).
const std::string& WineRegistry::oemCodePage() const {
    Values found;
    std::string report;
    if (oemCodePage_.empty() &&
        runQuery({kCodePageKey, "/v", "OEMCP"}, "", &found, &report) == kRegFound &&
        found.count("oemcp") != 0) {
        oemCodePage_ = found["oemcp"].data;
    }
    return oemCodePage_;
}

bool WineRegistry::query(const std::string& key, const std::vector<std::string>& options,
                         Values* values, std::string* report) const {
    std::vector<std::string> arguments = {root_ + "\\" + key};
    arguments.insert(arguments.end(), options.begin(), options.end());
    return runQuery(arguments, oemCodePage(), values, report) == kRegFound;
}

const WineRegistry::KeyRead& WineRegistry::read(const std::string& key) const {
    const auto [entry, added] = keys_.try_emplace(lowerCase(key));
    KeyRead& read = entry->second;
    Values found;
    if (added && query(key, {}, &found, &read.report)) {
        read.values = std::move(found);
    }
    return read;
}

// A key's listing shows its default value only when it is set, under a label
// in the prefix's language; "/ve" shows that label even when it is not set.
// Asked only of a key just listed, so a miss here is a contradiction to say.
const std::string& WineRegistry::defaultLabel(const std::string& key) const {
    if (!defaultLabel_.empty()) {
        return defaultLabel_;
    }
    Values onlyDefault;
    std::string report;
    if (!query(key, {"/ve"}, &onlyDefault, &report) || onlyDefault.size() != 1) {
        ADD_FAILURE() << "reg query " << key << " /ve listed " << onlyDefault.size() << " values:\n"
                      << report;
    } else {
        defaultLabel_ = onlyDefault.begin()->first;
    }
    return defaultLabel_;
}

std::string WineRegistry::report(const std::string& key) const {
    return read(key).report;
}

bool WineRegistry::hasKey(const std::string& key) const {
    return read(key).values.has_value();
}

std::optional<RegistryValue> WineRegistry::value(const std::string& key,
                                                 const std::string& name) const {
    const std::optional<Values>& found = read(key).values;
    if (!found) {
        return std::nullopt;
    }
    const std::string lookup = name.empty() ? defaultLabel(key) : lowerCase(name);
    const auto value = found->find(lookup);
    if (value == found->end()) {
        return std::nullopt;
    }
    return value->second;
}

std::optional<std::string> WineRegistry::text(const std::string& key,
                                              const std::string& name) const {
    const std::optional<RegistryValue> found = value(key, name);
    if (!found || found->type != "sz") {
        return std::nullopt;
    }
    return found->data;
}

std::string textOf(const WineRegistry& registry, const std::string& key, const std::string& name) {
    const std::optional<RegistryValue> found = registry.value(key, name);
    if (!found) {
        // What reg printed of the key, for a failure that must say why.
        return "<no value> in:\n" + registry.report(key);
    }
    if (found->type != "sz") {
        return "<a value of type " + found->type + ">";
    }
    return found->data;
}

} // namespace wine_test
