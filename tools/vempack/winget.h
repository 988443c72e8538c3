// The winget installer-manifest fragment of a described setup.
#pragma once

#include "code_page.h"
#include "format/product_description.h"

#include <string>

namespace vempack {

struct WingetInstaller {
    std::string sha256;
    bool wide = false; // PE32+: x64, else x86
    std::string url;   // empty: a placeholder to fill in
};

// The fragment, in UTF-8 (texts converted from `codePage`): the switches a
// described setup takes, its success code, ProductCode and
// AppsAndFeaturesEntries, one installer per scope.
std::string wingetFragment(const ProductDescription& product, const WingetInstaller& installer,
                           const CodePage& codePage);

} // namespace vempack
