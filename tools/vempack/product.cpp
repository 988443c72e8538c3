// The product options of build and the description resource made of them.
#include "product.h"

#include "error.h"
#include "format/product_description.h"
#include "names.h"
#include "setup_resources.h"

#include <algorithm>

namespace vempack {
namespace {

std::string inCodePage(const std::string& option, const std::string& text,
                       const CodePage& codePage) {
    const std::optional<std::string> converted = codePage.fromUtf8(text);
    if (!converted) {
        refuse(option + ": '" + displayText(text) + "' " +
               (codePage.chosen()
                    ? "cannot be written in code page " + std::to_string(codePage.number())
                    : std::string("is not ASCII; give --codepage N")));
    }
    return *converted;
}

void appendText(Bytes& bytes, const std::string& text) {
    if (text.size() >= kDescriptionTextBufferSize) {
        refuse("a product text of " + std::to_string(text.size()) + " bytes is too long");
    }
    bytes.push_back(static_cast<std::uint8_t>(text.size()));
    bytes.push_back(static_cast<std::uint8_t>(text.size() >> 8));
    bytes.insert(bytes.end(), text.begin(), text.end());
}

} // namespace

void applyProductOption(ProductOptions& product, std::string_view name, std::string_view value) {
    if (name == "--product") {
        product.product = value;
    } else if (name == "--product-id") {
        product.id = value;
    } else if (name == "--publisher") {
        product.publisher = value;
    } else if (name == "--product-version") {
        product.version = value;
    } else if (name == "--program") {
        product.program = value;
    } else if (name == "--document-type") {
        product.documentType = value;
    } else if (name == "--success-code") {
        if (value != "0" && value != "1") {
            throw UsageError("--success-code: '" + std::string(value) + "' is not 0 or 1");
        }
        product.successCode = value == "1" ? 1 : 0;
    } else if (name == "--no-uninstaller") {
        product.noUninstaller = true;
    }
}

void checkProductOptions(const ProductOptions& product, bool hasPayload) {
    const bool anyOther = !product.id.empty() || !product.publisher.empty() ||
                          !product.version.empty() || !product.program.empty() ||
                          !product.documentType.empty() || product.successCode != 0 ||
                          product.noUninstaller;
    if (!product.described()) {
        if (anyOther) {
            throw UsageError("--product-id, --publisher, --product-version, --program, "
                             "--document-type, --success-code and --no-uninstaller describe "
                             "a product: give --product NAME too");
        }
        return;
    }
    if (product.program.empty()) {
        throw UsageError("--product needs --program ENTRY, the installed program");
    }
    if (hasPayload) {
        throw UsageError("--product and --payload exclude each other (the description is "
                         "made from the files)");
    }
}

void applyProductDefaults(ProductOptions& product,
                          std::vector<std::pair<std::string, std::string>>& versionInfo) {
    if (!product.described()) {
        return;
    }
    const auto given = [&](const std::string& key) -> const std::string* {
        for (const auto& [k, v] : versionInfo) {
            if (k == key) {
                return &v;
            }
        }
        return nullptr;
    };
    if (product.version.empty()) {
        if (const std::string* fileVersion = given("FileVersion")) {
            product.version = *fileVersion;
        }
    }
    const std::pair<const char*, std::string> defaults[] = {
        {"ProductName", product.product},    {"FileDescription", product.product + " Setup"},
        {"CompanyName", product.publisher},  {"FileVersion", product.version},
        {"ProductVersion", product.version},
    };
    for (const auto& [key, text] : defaults) {
        if (!text.empty() && given(key) == nullptr) {
            versionInfo.emplace_back(key, text);
        }
    }
}

std::string programEntry(const ProductOptions& product, const Package& package,
                         const CodePage& codePage) {
    std::vector<std::string> levels;
    for (const std::string& level : givenNameLevels(product.program)) {
        levels.push_back(codePage.fromUtf8(level).value_or(level));
    }
    const std::wstring wanted = foldedCase(codePage.toUtf8(joinLevels(levels)).value_or(""));
    for (const PackageEntry& entry : package.entries) {
        if (foldedCase(codePage.toUtf8(entry.name).value_or(entry.name)) == wanted) {
            return entry.name;
        }
    }
    refuse("--program: no entry is stored as \"" + displayText(product.program) + "\"");
}

Bytes descriptionResource(const ProductOptions& product, const Package& package,
                          const CodePage& codePage) {
    const LeadByteTest leadBytes = codePage.leadByteTest();
    const std::string name = inCodePage("--product", product.product, codePage);
    const std::string id =
        product.id.empty() ? name : inCodePage("--product-id", product.id, codePage);
    const std::string publisher = inCodePage("--publisher", product.publisher, codePage);
    if (!isProductName(name.c_str(), leadBytes)) {
        refuse("--product: '" + displayText(product.product) +
               "' is not a folder name of 1 to 100 bytes that Windows keeps as given");
    }
    if (!isProductId(id.c_str())) {
        refuse("--product-id: '" + displayText(id) +
               "' is not 1 to 100 letters, digits, '.', '-', '_' or inner blanks");
    }
    if (!publisher.empty() && !isProductName(publisher.c_str(), leadBytes)) {
        refuse("--publisher: '" + displayText(product.publisher) +
               "' is not a folder name of 1 to 100 bytes that Windows keeps as given");
    }
    if (!isProductVersion(product.version.c_str())) {
        refuse("--product-version: '" + product.version +
               "' is not one to four numbers from 0 to 65535 separated by dots");
    }
    std::string extension;
    std::string progId;
    if (!product.documentType.empty()) {
        const std::size_t equals = product.documentType.find('=');
        extension = product.documentType.substr(0, equals);
        progId = equals == std::string::npos ? "" : product.documentType.substr(equals + 1);
        if (extension.empty() || progId.empty() ||
            !isDocumentType(extension.c_str(), progId.c_str())) {
            refuse("--document-type: '" + displayText(product.documentType) +
                   "' is not .EXT=PROGID (an extension of 1 to 16 letters, digits, '-' or '_'; "
                   "a ProgID of letters, digits, '.', '-' or '_')");
        }
    }
    std::uint64_t total = 0;
    for (const PackageEntry& entry : package.entries) {
        total += entry.data.size();
    }
    Bytes bytes(kDescriptionMagic, kDescriptionMagic + sizeof kDescriptionMagic);
    appendLe(bytes, kDescriptionVersion, 2);
    appendLe(bytes, product.successCode == 1 ? kDescriptionSuccessCodeOne : 0, 2);
    appendLe(bytes, std::min<std::uint64_t>((total + 1023) / 1024, UINT32_MAX), 4);
    for (const std::string& text : {name, id, publisher, product.version,
                                    programEntry(product, package, codePage), extension, progId}) {
        appendText(bytes, text);
    }
    return bytes;
}

} // namespace vempack
