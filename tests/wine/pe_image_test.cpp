// Each built Windows stub as a file, read with objdump: a GUI program of its
// build's format (PE32 for win32, PE32+ for win64) with ASLR and DEP,
// large-address-aware,
// importing only the system DLLs it needs, and small. ctest runs the tests
// once per build, naming it in VEMSETUP_WINE_TARGET.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <regex>
#include <set>
#include <sstream>

#include "wine_harness.h"

namespace wine_test {
namespace {

bool is64Bit() {
    return wineTarget().name == "win64";
}

// IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA, _DYNAMIC_BASE and _NX_COMPAT.
constexpr unsigned long kHighEntropyVa = 0x0020;
constexpr unsigned long kDynamicBase = 0x0040;
constexpr unsigned long kNxCompat = 0x0100;
// What the stub without its payload may weigh at most.
constexpr std::uintmax_t kStubSizeLimit = 64 * 1024;

class StubImage : public testing::Test {
  protected:
    void SetUp() override {
        const std::string objdump = is64Bit() ? VEMSETUP_WIN64_OBJDUMP : VEMSETUP_WIN32_OBJDUMP;
        if (objdump.empty()) {
            GTEST_SKIP() << "mingw-w64's objdump for " << wineTarget().name << " was not found";
        }
        if (!fs::is_regular_file(stub)) {
            GTEST_SKIP() << stub << " does not exist; build it with cmake --build --preset "
                         << wineTarget().name;
        }
        const fs::path output =
            fs::temp_directory_path() / ("vemsetup-objdump-" + std::to_string(getpid()) + ".txt");
        const int status =
            runProcess({objdump, "-p", stub.string()}, {"PATH=/usr/bin:/bin"}, output);
        headers = readText(output);
        std::error_code ec;
        fs::remove(output, ec);
        ASSERT_EQ(status, 0) << headers;
    }

    // The hexadecimal number (with or without "0x") after `field` at the
    // start of a line.
    unsigned long headerField(const std::string& field) const {
        const std::regex pattern("(^|\n)" + field + "\\s+(?:0x)?([0-9a-fA-F]+)");
        std::smatch match;
        if (!std::regex_search(headers, match, pattern)) {
            ADD_FAILURE() << "no " << field << " in the headers";
            return 0;
        }
        return std::stoul(match[2].str(), nullptr, 16);
    }

    const fs::path stub = wineTarget().stub;
    std::string headers;
};

TEST_F(StubImage, IsAGuiProgramOfItsBuildsFormat) {
    if (is64Bit()) {
        EXPECT_EQ(headerField("Magic"), 0x20bu) << "not PE32+";
        EXPECT_NE(headers.find("file format pei-x86-64"), std::string::npos);
    } else {
        EXPECT_EQ(headerField("Magic"), 0x10bu) << "not PE32";
        EXPECT_NE(headers.find("file format pei-i386"), std::string::npos);
    }
    EXPECT_EQ(headerField("Subsystem"), 2u) << "not the Windows GUI subsystem";
}

TEST_F(StubImage, HasAslrAndDep) {
    const unsigned long characteristics = headerField("DllCharacteristics");
    EXPECT_EQ(characteristics & kDynamicBase, kDynamicBase) << "DYNAMIC_BASE is missing";
    EXPECT_EQ(characteristics & kNxCompat, kNxCompat) << "NX_COMPAT is missing";
    if (is64Bit()) {
        EXPECT_EQ(characteristics & kHighEntropyVa, kHighEntropyVa) << "HIGH_ENTROPY_VA is missing";
    }
}

// The compressed payload and the decoded archive are held at once: a 32-bit
// stub gets 4 GiB of address space on 64-bit Windows only when it says so.
TEST_F(StubImage, IsLargeAddressAware) {
    constexpr unsigned long kLargeAddressAware = 0x0020; // IMAGE_FILE_LARGE_ADDRESS_AWARE
    EXPECT_EQ(headerField("Characteristics") & kLargeAddressAware, kLargeAddressAware);
}

TEST_F(StubImage, ImportsOnlySystemDlls) {
    std::set<std::string> imports;
    const std::regex pattern("DLL Name: (\\S+)");
    for (auto it = std::sregex_iterator(headers.begin(), headers.end(), pattern);
         it != std::sregex_iterator(); ++it) {
        std::string name = (*it)[1].str();
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        imports.insert(name);
    }
    const std::set<std::string> allowed = {"kernel32.dll", "advapi32.dll", "shell32.dll",
                                           "ole32.dll", "msvcrt.dll"};
    for (const std::string& name : imports) {
        EXPECT_EQ(allowed.count(name), 1u) << "unexpected import " << name;
    }
    // advapi32, shell32 and ole32 are loaded at run time, in install mode
    // only, so they need not stand in the import table.
    EXPECT_EQ(imports.count("kernel32.dll"), 1u) << "kernel32.dll is not imported";
}

TEST_F(StubImage, StubWithoutPayloadIsAtMost64KiB) {
    // objdump lists the resource tree: the "PACKAGE" type, its name table
    // with entry 105 (0x69), its one language and the leaf with the
    // payload's size.
    const std::regex pattern("name: \\[[^\\]]*\\]: PACKAGE,[^\n]*\n"
                             "[^\n]*Name Table[^\n]*\n"
                             "[^\n]*Entry: ID: 0x0*69,[^\n]*\n"
                             "[^\n]*Language Table[^\n]*\n"
                             "[^\n]*Entry: ID: [^\n]*\n"
                             "[^\n]*Leaf: Addr: 0x[0-9a-fA-F]+, Size: 0x([0-9a-fA-F]+)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(headers, match, pattern))
        << "no resource PACKAGE 105 with one language in the resource directory";
    const std::uintmax_t payload = std::stoul(match[1].str(), nullptr, 16);
    const std::uintmax_t file = fs::file_size(stub);
    ASSERT_GT(file, payload);
    std::cout << stub.string() << ": " << file << " bytes, payload " << payload << " bytes, stub "
              << file - payload << " bytes\n";
    RecordProperty("stub_bytes", std::to_string(file - payload));
    EXPECT_LE(file - payload, kStubSizeLimit);
}

} // namespace
} // namespace wine_test
