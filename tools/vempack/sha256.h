// SHA-256 (FIPS 180-4), for the installer hash that package manifests
// carry.
#pragma once

#include "bytes.h"

#include <string>

namespace vempack {

// The digest of `data` as 64 upper-case hexadecimal digits.
std::string sha256Hex(const Bytes& data);

} // namespace vempack
