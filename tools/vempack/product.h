// The product a described setup registers: the build options that name it,
// and the description resource made of them (format/product_description.h).
#pragma once

#include "archive.h"
#include "bytes.h"
#include "code_page.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vempack {

struct ProductOptions {
    std::string product; // empty: no description, the setup behaves as always
    std::string id;
    std::string publisher;
    std::string version;
    std::string program;
    std::string documentType; // ".EXT=PROGID"
    unsigned successCode = 0;
    bool noUninstaller = false;
    bool described() const { return !product.empty(); }
};

// Takes one of --product, --product-id, --publisher, --product-version,
// --program, --document-type, --success-code, --no-uninstaller.
void applyProductOption(ProductOptions& product, std::string_view name, std::string_view value);

// Refuses product options without --product, a description without
// --program, and a description with --payload (its entries must be known).
void checkProductOptions(const ProductOptions& product, bool hasPayload);

// The version resource texts the product gives where --version-info gives
// none, and the product version taken from FileVersion where --product-version
// is not given.
void applyProductDefaults(ProductOptions& product,
                          std::vector<std::pair<std::string, std::string>>& versionInfo);

// The stored name of the program entry of `package`, found as Windows
// would find it (levels split at '/' or '\\', case ignored); refuses a
// program that is no entry.
std::string programEntry(const ProductOptions& product, const Package& package,
                         const CodePage& codePage);

// The description resource for `package`, texts in `codePage`; refuses any
// text the stub would refuse.
Bytes descriptionResource(const ProductOptions& product, const Package& package,
                          const CodePage& codePage);

} // namespace vempack
