// Resources a setup may carry besides its payload, so that Explorer shows
// the product's own name and icon: a version resource made from KEY=VALUE
// texts, and the icon resources of an .ico file.
#pragma once

#include "bytes.h"
#include "pe_resources.h"

#include <string>
#include <utility>
#include <vector>

namespace vempack {

// RT_VERSION, RT_ICON and RT_GROUP_ICON.
constexpr std::uint16_t kVersionType = 16;
constexpr std::uint16_t kIconType = 3;
constexpr std::uint16_t kGroupIconType = 14;

// The keys --version-info accepts.
bool isVersionKey(const std::string& key);

// True for what FileVersion and ProductVersion must be: one to four decimal
// numbers from 0 to 65535 separated by dots ("2.3", "2.3.4.5").
bool isNumericVersion(const std::string& text);

// A VS_VERSIONINFO resource: the strings (UTF-8 in, UTF-16 out) in one
// U.S. English, Unicode string table, and the numeric file and product
// versions taken from FileVersion and ProductVersion where they are
// "A.B.C.D" numbers. No date: the output stays reproducible.
Bytes versionInfoResource(const std::vector<std::pair<std::string, std::string>>& values);

// One RT_ICON per image of the .ico file (identifiers 1, 2, ...) and the
// RT_GROUP_ICON 1 that lists them; fails on a file that is not an icon.
std::vector<Resource> iconResources(const Bytes& ico, std::uint16_t language);

} // namespace vempack
