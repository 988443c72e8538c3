// Reads a Wine prefix's registry back the way a Windows user would: with
// reg.exe ("reg query KEY") run under Wine in that prefix.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "wine_harness.h"

namespace wine_test {

struct RegistryValue {
    // reg's type without "REG_", in lower case: "sz", "expand_sz",
    // "multi_sz", "dword", "binary", ...
    std::string type;
    // The data as reg prints it: the text of a string value (in UTF-8),
    // "0x2a" for a DWORD, hexadecimal digits for binary data.
    std::string data;
};

// One root of the registry ("HKLM" or "HKCU"). A key's values are read when
// one of them is first asked for, and kept; ask before a run for the state
// before it. Keys are paths below the root with single backslashes
// ("Software\Vemlo Software\Vemlo Reader"); keys and value names compare
// without regard to case, as the registry does; "" names the default value.
class WineRegistry {
  public:
    // `output` is a scratch file for reg's report.
    WineRegistry(WinePrefix* prefix, std::string root, std::filesystem::path output);

    bool hasKey(const std::string& key) const;
    std::optional<RegistryValue> value(const std::string& key, const std::string& name) const;
    // The text of a REG_SZ value, or nothing when the value is missing or of
    // another type.
    std::optional<std::string> text(const std::string& key, const std::string& name) const;
    // What reg printed when the key was read.
    std::string report(const std::string& key) const;

  private:
    using Values = std::map<std::string, RegistryValue>;
    struct KeyRead {
        // By lower-case name; nothing when the key does not exist.
        std::optional<Values> values;
        // What reg printed, for failures that must say why.
        std::string report;
    };
    // Runs "reg query ARGUMENTS..." and reads the values it lists from its
    // report, converted from `codePage` to UTF-8; reg's exit code.
    int runQuery(const std::vector<std::string>& arguments, const std::string& codePage,
                 Values* values, std::string* report) const;
    // Runs "reg query ROOT\KEY OPTIONS..."; false when the key does not
    // exist.
    bool query(const std::string& key, const std::vector<std::string>& options, Values* values,
               std::string* report) const;
    // The OEM code page in which reg writes ("437", "932", ...).
    const std::string& oemCodePage() const;
    // The key as first read, read now if it was not.
    const KeyRead& read(const std::string& key) const;
    // reg's lower-case label of the default value ("(default)" in English).
    const std::string& defaultLabel(const std::string& key) const;

    WinePrefix* prefix_;
    std::string root_;
    std::filesystem::path output_;
    // Lower-case key -> what was read of it.
    mutable std::map<std::string, KeyRead> keys_;
    mutable std::string defaultLabel_;
    mutable std::string oemCodePage_;
};

// The name the tests first knew the reader by.
using RegistryFile = WineRegistry;

// The text of a REG_SZ value, or a note saying that there is none, for
// comparisons whose failure should say what was found instead.
std::string textOf(const WineRegistry& registry, const std::string& key, const std::string& name);

// Whether reg's exit code and report agree: a listing under the key's name
// for a key found (0), reg's own message for one missing (1). Anything else
// is no answer about the registry.
bool isWellFormedReport(int status, const std::string& report);

// `text` in the Windows code page `codePage` ("437", "932", "65001", ...)
// as UTF-8; unchanged when the code page is unknown or the text is not in it.
std::string oemToUtf8(const std::string& text, const std::string& codePage);

// The values that a `reg query KEY` report lists, by lower-case name: those
// beneath the first key it names. reg lists a key without values by its
// subkeys alone, which list no values.
std::map<std::string, RegistryValue> parseRegQuery(const std::string& report);

} // namespace wine_test
