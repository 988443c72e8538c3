// Reads the registry files of a Wine prefix (system.reg for
// HKEY_LOCAL_MACHINE, user.reg for HKEY_CURRENT_USER), which the Wine
// server writes when it exits.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace wine_test {

struct RegistryValue {
    // "sz" for REG_SZ, "expand_sz", "multi_sz", "dword", "binary" or
    // "str(N)"/"hex(N)" for other types.
    std::string type;
    // The text of a string value (UTF-8), or the data as written in the
    // file for any other type.
    std::string data;
};

class RegistryFile {
  public:
    // False when the file cannot be read or is not a Wine registry file.
    bool load(const std::filesystem::path& path);

    // Key paths are relative to the file's root, with single backslashes
    // ("Software\Vemlo Software\Vemlo Reader"); names and paths compare
    // without regard to case, as the registry does. "" names the default
    // value.
    bool hasKey(const std::string& key) const;
    std::optional<RegistryValue> value(const std::string& key, const std::string& name) const;

    // The text of a REG_SZ value, or nothing when the value is missing or
    // of another type.
    std::optional<std::string> text(const std::string& key, const std::string& name) const;

  private:
    // Lower-case key path -> lower-case value name -> value.
    std::map<std::string, std::map<std::string, RegistryValue>> keys_;
};

// The text of a REG_SZ value, or a note saying that there is none, for
// comparisons whose failure should say what was found instead.
std::string textOf(const RegistryFile& registry, const std::string& key, const std::string& name);

} // namespace wine_test
