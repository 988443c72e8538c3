// vempack winget: what a winget manifest needs to know of a built setup.
#include "winget.h"

#include "commands.h"
#include "error.h"
#include "file_io.h"
#include "names.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "sha256.h"

#include <iostream>

namespace vempack {
namespace {

// A YAML scalar in single quotes, where only the quote itself is doubled.
std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? "''" : std::string(1, c);
    }
    return out + "'";
}

std::string utf8Of(const char* text, const CodePage& codePage) {
    const std::optional<std::string> converted = codePage.toUtf8(text);
    if (!converted) {
        refuse("the product's text \"" + displayName(text) +
               "\" is not ASCII; give --codepage N, the code page the setup was built with");
    }
    return *converted;
}

} // namespace

std::string wingetFragment(const ProductDescription& product, const WingetInstaller& installer,
                           const CodePage& codePage) {
    const std::string name = quoted(utf8Of(product.product, codePage));
    const std::string id = quoted(utf8Of(product.id, codePage));
    const std::string publisher = utf8Of(product.publisher, codePage);
    const std::string version = product.version;
    std::string out = "# winget installer manifest: the setup's part (add PackageIdentifier,\n"
                      "# ManifestType: installer and ManifestVersion).\n";
    if (!version.empty()) {
        out += "PackageVersion: " + quoted(version) + "\n";
    }
    out += "InstallerType: exe\n"
           "InstallerSwitches:\n"
           "  Silent: /install\n"
           "  SilentWithProgress: /install\n"
           "  InstallLocation: '/dir=\"<INSTALLPATH>\"'\n";
    if ((product.flags & kDescriptionSuccessCodeOne) != 0) {
        out += "InstallerSuccessCodes:\n  - 1\n";
    }
    out += "UpgradeBehavior: install\n"
           "ProductCode: " +
           id +
           "\n"
           "AppsAndFeaturesEntries:\n"
           "  - DisplayName: " +
           name + "\n";
    if (!publisher.empty()) {
        out += "    Publisher: " + quoted(publisher) + "\n";
    }
    if (!version.empty()) {
        out += "    DisplayVersion: " + quoted(version) + "\n";
    }
    out += "    ProductCode: " + id + "\n" + "Installers:\n";
    const struct {
        const char* scope;
        const char* switchText;
    } scopes[] = {{"machine", "/allusers"}, {"user", "/currentuser"}};
    for (const auto& scope : scopes) {
        out += std::string("  - Architecture: ") + (installer.wide ? "x64" : "x86") + "\n" +
               "    Scope: " + scope.scope + "\n" + "    InstallerUrl: " +
               quoted(installer.url.empty() ? "<INSTALLERURL>" : installer.url) + "\n" +
               "    InstallerSha256: " + installer.sha256 + "\n" + "    InstallerSwitches:\n" +
               "      Custom: " + scope.switchText + "\n";
    }
    return out;
}

int runWinget(const CommandLine& line) {
    const std::string& path = line.operands[0];
    const Bytes file = readFile(path);
    if (!looksLikeExecutable(file)) {
        refuse("'" + path + "' is not a setup executable");
    }
    const PeImage image = parsePeImage(file);
    const Resource* found = nullptr;
    const std::vector<Resource> resources = readResources(image, file);
    for (const Resource& resource : resources) {
        if (resource.type == resourceName(kDescriptionResourceType) &&
            resource.name == resourceId(kDescriptionResourceId)) {
            found = &resource;
        }
    }
    if (found == nullptr) {
        refuse("'" + path + "' carries no product description (build it with --product)");
    }
    const CodePage codePage = line.codePage == 0 ? CodePage() : CodePage(line.codePage);
    ProductDescription product;
    if (!readProductDescription(found->data.data(), found->data.size(), &product,
                                codePage.leadByteTest())) {
        fail("'" + path + "': its product description is malformed");
    }
    std::cout << wingetFragment(product, {sha256Hex(file), image.pe32Plus, line.url}, codePage);
    return 0;
}

} // namespace vempack
