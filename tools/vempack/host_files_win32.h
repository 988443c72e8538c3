// UTF-8 text for the wide Windows calls, and back.
#pragma once

#include <string>

namespace vempack {

std::wstring wideText(const std::string& utf8);
std::string utf8Text(const std::wstring& wide);

} // namespace vempack
