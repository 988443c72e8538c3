// The host's code page conversions, behind CodePage (code_page.h).
#pragma once

#include <optional>
#include <string>

namespace vempack {

constexpr unsigned kUtf8CodePage = 65001;

// `text` from code page `from` into code page `to` (either may be
// kUtf8CodePage), or nothing at the first byte sequence that is invalid or
// has no exact equivalent.
std::optional<std::string> convertText(unsigned to, unsigned from, const std::string& text);

} // namespace vempack
