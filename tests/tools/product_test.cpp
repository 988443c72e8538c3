// The product options of vempack build: what the packer refuses, and the
// description and uninstall list it writes for what it accepts.
#include "error.h"
#include "format/product_description.h"
#include "format/uninstall_list.h"
#include "options.h"
#include "payloads.h"
#include "sha256.h"
#include "uninstaller.h"
#include "winget.h"

#include <gtest/gtest.h>

namespace vempack_test {
namespace {

using vempack::CodePage;
using vempack::Package;
using vempack::ProductOptions;

Package toolPackage() {
    Package package;
    package.entries = {{"bin\\Tool.exe", toBytes("tool")}, {"Readme.txt", Bytes(2048, 'r')}};
    return package;
}

ProductOptions toolProduct() {
    ProductOptions product;
    product.product = "Acme Tool";
    product.program = "BIN/tool.exe";
    return product;
}

TEST(ProductOptions, CommandLinesThatAreRefused) {
    const std::vector<std::vector<std::string>> refused = {
        {"--publisher", "Acme"},
        {"--no-uninstaller"},
        {"--product", "Acme Tool"},
        {"--product", "Acme Tool", "--program", "a", "--payload", "p.lzma"},
        {"--product", "Acme Tool", "--program", "a", "--success-code", "2"},
    };
    for (const std::vector<std::string>& options : refused) {
        std::vector<std::string> args = {"build", "-o", "s.exe", "x"};
        args.insert(args.end(), options.begin(), options.end());
        if (options.back() == "p.lzma") {
            args.erase(args.begin() + 3);
        }
        EXPECT_THROW(vempack::parseCommandLine(args), vempack::UsageError) << options[0];
    }
}

TEST(ProductOptions, TextsTheStubWouldRefuseAreRefused) {
    struct Case {
        const char* field;
        std::string ProductOptions::*member;
        const char* text;
    };
    const Case cases[] = {
        {"product", &ProductOptions::product, "Acme\\Tool"},
        {"product", &ProductOptions::product, "Tool."},
        {"id", &ProductOptions::id, "Acme/Tool"},
        {"publisher", &ProductOptions::publisher, "CON"},
        {"version", &ProductOptions::version, "1.2.3.4.5"},
        {"program", &ProductOptions::program, "missing.exe"},
        {"document type", &ProductOptions::documentType, "acme=Acme.Doc"},
        {"document type", &ProductOptions::documentType, ".acme="},
    };
    for (const Case& c : cases) {
        ProductOptions product = toolProduct();
        product.*c.member = c.text;
        EXPECT_THROW(vempack::descriptionResource(product, toolPackage(), CodePage()),
                     vempack::ToolError)
            << c.field << " " << c.text;
    }
}

TEST(ProductOptions, DescriptionAndListReadBackAsTheStubReadsThem) {
    ProductOptions product = toolProduct();
    product.documentType = ".acme=Acme.Document";
    std::vector<std::pair<std::string, std::string>> versionInfo = {{"FileVersion", "3.4"}};
    vempack::applyProductDefaults(product, versionInfo);
    EXPECT_EQ(product.version, "3.4");
    EXPECT_EQ(versionInfo.size(), 4u) << "ProductName, FileDescription, ProductVersion added";

    Package package = toolPackage();
    const Bytes description = vempack::descriptionResource(product, package, CodePage());
    ProductDescription read;
    ASSERT_TRUE(
        readProductDescription(description.data(), description.size(), &read, neverLeadByte));
    EXPECT_STREQ(read.id, "Acme Tool");
    EXPECT_STREQ(read.program, "bin\\Tool.exe") << "the stored name, as Windows finds it";
    EXPECT_STREQ(read.documentProgId, "Acme.Document");
    EXPECT_EQ(read.estimatedSizeKib, 3u) << "2052 bytes, rounded up";

    vempack::addUninstallList(product, description, package);
    const vempack::PackageEntry& list = package.entries.back();
    EXPECT_EQ(list.name,
              vempack::uninstallListName(vempack::uninstallList(description, toolPackage(), "")));
    UninstallList parsed;
    ASSERT_TRUE(readUninstallList(list.data.data(), list.data.size(), &parsed, neverLeadByte));
    std::vector<std::string> names;
    const unsigned char* cursor = parsed.entries;
    char name[260];
    while (nextUninstallEntry(parsed, &cursor, name)) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"bin\\Tool.exe", "Readme.txt", list.name}));
}

TEST(ProductOptions, ATreeWithItsOwnUninstallerNeedsNoUninstaller) {
    Package package = toolPackage();
    package.entries.push_back({"uninstall.EXE", toBytes("mine")});
    ProductOptions product = toolProduct();
    EXPECT_THROW(vempack::addUninstaller(product, "/nonexistent", package, CodePage()),
                 vempack::ToolError);
    product.noUninstaller = true;
    vempack::addUninstaller(product, "/nonexistent", package, CodePage());
    EXPECT_EQ(package.entries.size(), 3u);
    EXPECT_EQ(vempack::uninstallerBeside("/r/share/vemsetup/vemsetup64.exe"),
              "/r/share/vemsetup/vemuninstall64.exe");
}

TEST(Winget, HashAndFragmentOfADescribedSetup) {
    const std::pair<std::string, const char*> vectors[] = {
        {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
    };
    for (const auto& [text, digest] : vectors) {
        EXPECT_EQ(vempack::sha256Hex(toBytes(text)), digest) << text;
    }
    ProductOptions options = toolProduct();
    options.id = "Acme.Tool";
    options.publisher = "Acme's";
    options.version = "2.1";
    options.successCode = 1;
    const Bytes description = vempack::descriptionResource(options, toolPackage(), CodePage());
    ProductDescription product;
    ASSERT_TRUE(
        readProductDescription(description.data(), description.size(), &product, neverLeadByte));
    const std::string fragment = vempack::wingetFragment(product, {"AB12", true, ""}, CodePage());
    for (const char* line :
         {"  Silent: /install\n", "  InstallLocation: '/dir=\"<INSTALLPATH>\"'\n",
          "InstallerSuccessCodes:\n  - 1\n", "ProductCode: 'Acme.Tool'\n",
          "    Publisher: 'Acme''s'\n", "    DisplayVersion: '2.1'\n",
          "  - Architecture: x64\n    Scope: user\n", "    InstallerSha256: AB12\n",
          "      Custom: /allusers\n"}) {
        EXPECT_NE(fragment.find(line), std::string::npos) << line << fragment;
    }
}

} // namespace
} // namespace vempack_test
