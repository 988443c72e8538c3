// The vempack program end to end, as a build or a test author runs it.
#include "archive.h"
#include "payloads.h"
#include "pe_test_image.h"
#include "run_vempack.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <sstream>

namespace vempack_test {
namespace {

namespace fs = std::filesystem;

class VempackCli : public ::testing::Test {
  protected:
    RunResult run(const std::vector<std::string>& args) { return runVempack(scratch, args); }

    // An archive built by `archive` with `args`, read back by the packer's reader.
    vempack::Package archiveOf(const std::vector<std::string>& args) {
        std::vector<std::string> all{"archive", "-o", scratch / "a.hen"};
        all.insert(all.end(), args.begin(), args.end());
        const RunResult result = run(all);
        EXPECT_EQ(result.status, 0) << result.err;
        return vempack::readArchive(readBytes(scratch / "a.hen"));
    }

    ScopedTempDir scratch{"vempack-test"};
};

TEST_F(VempackCli, CreateListExtractRoundTrip) {
    const Bytes program = noiseBytes(70000, 3);
    const Bytes text = toBytes("Vemlo Reader\r\n");
    writeBytes(scratch / "reader", program);
    writeBytes(scratch / "Readme.txt", text);
    writeBytes(scratch / "empty", {});
    const std::string payload = scratch / "p.lzma";

    RunResult result = run({"create", "-o", payload, "Vemlo Reader.exe=" + scratch / "reader",
                            scratch / "Readme.txt", "Empty.dat=" + (scratch / "empty")});
    ASSERT_EQ(result.status, 0) << result.err;

    result = run({"list", payload});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("    0 *      70000  Vemlo Reader.exe\n"), std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("    2            0  Empty.dat\n"), std::string::npos);

    const std::string out = scratch / "out/nested";
    result = run({"extract", payload, out});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(readBytes(out + "/Vemlo Reader.exe"), program);
    EXPECT_EQ(readBytes(out + "/Readme.txt"), text);
    EXPECT_TRUE(fs::is_regular_file(out + "/Empty.dat"));
    EXPECT_EQ(fs::file_size(out + "/Empty.dat"), 0u);
}

TEST_F(VempackCli, DesignatesTheFirstEntryTheNamedOneOrNone) {
    writeBytes(scratch / "x", toBytes("x"));
    const std::string x = scratch / "x";

    vempack::Package package = archiveOf({"A=" + x, "B=" + x});
    EXPECT_EQ(package.designationFlag, 1u);
    EXPECT_EQ(package.designatedIndex, 0);

    package = archiveOf({"--launch", "B", "A=" + x, "B=" + x});
    EXPECT_EQ(package.designatedIndex, 1);

    package = archiveOf({"--no-launch", "A=" + x});
    EXPECT_EQ(package.designationFlag, 0u);
    EXPECT_EQ(package.designatedIndex, -1);

    const RunResult result = run({"archive", "-o", scratch / "b.hen", "--launch", "C", x});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("no entry is stored as \"C\""), std::string::npos) << result.err;
}

TEST_F(VempackCli, RefusesBadNamesAndWritesNothing) {
    writeBytes(scratch / "x", toBytes("x"));
    const std::string output = scratch / "bad.lzma";
    for (const std::string prefix :
         {"../x=", "a/../b=", "a\\..=", "CON.txt=", "=", "x.=", "AUX=", "a//b=", "a/nul/b="}) {
        const RunResult result = run({"create", "-o", output, prefix + (scratch / "x")});
        EXPECT_EQ(result.status, 2) << prefix;
        EXPECT_NE(result.err.find("vempack: error: cannot store"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(output)) << prefix;
    }
    const RunResult twice =
        run({"create", "-o", output, "a.txt=" + scratch / "x", "A.TXT=" + (scratch / "x")});
    EXPECT_EQ(twice.status, 2);
    EXPECT_NE(twice.err.find("given twice"), std::string::npos) << twice.err;
}

TEST_F(VempackCli, RefusesOversizedInputsBeforeReadingThem) {
    // Sparse files: the sizes are refused from the directory entry alone.
    const std::string big = scratch / "big";
    writeBytes(big, {});
    fs::resize_file(big, vempack::kMaxArchiveSize + 1);
    RunResult result = run({"create", "-o", scratch / "o.lzma", big});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("the archive would be"), std::string::npos) << result.err;

    fs::resize_file(big, 3u << 30);
    result = run({"create", "-o", scratch / "o.lzma", "A=" + big, "B=" + big});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("at most 4294967295"), std::string::npos) << result.err;
}

TEST_F(VempackCli, ExtractRefusesNamesThatLeaveTheDirectory) {
    writeBytes(scratch / "x", toBytes("hostile"));
    const std::string payload = scratch / "hostile.lzma";
    const std::string inside = scratch / "inside";
    const std::string escaped = scratch / "escaped.txt";
    ASSERT_EQ(run({"create", "-o", payload, "--raw-name", "ok.txt=" + scratch / "x",
                   "../escaped.txt=" + (scratch / "x")})
                  .status,
              0);
    // The raw name made it into the payload...
    EXPECT_NE(run({"list", payload}).out.find("../escaped.txt"), std::string::npos);

    // ...and extraction refuses it before writing anything.
    const RunResult result = run({"extract", payload, inside});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("\"../escaped.txt\""), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(escaped));
    EXPECT_FALSE(fs::exists(inside + "/ok.txt"));
}

TEST_F(VempackCli, ExtractDoesNotWriteThroughSymbolicLinks) {
    writeBytes(scratch / "x", toBytes("payload"));
    writeBytes(scratch / "victim", toBytes("untouched"));
    const std::string payload = scratch / "p.lzma";
    ASSERT_EQ(run({"create", "-o", payload, "Readme.txt=" + (scratch / "x")}).status, 0);
    fs::create_directory(scratch / "dir");
    fs::create_symlink(scratch / "victim", scratch / "dir/Readme.txt");

    const RunResult result = run({"extract", payload, scratch / "dir"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("symbolic link"), std::string::npos) << result.err;
    EXPECT_EQ(readBytes(scratch / "victim"), toBytes("untouched"));
}

TEST_F(VempackCli, TruncatedPayloadsGiveClearErrors) {
    writeBytes(scratch / "x", noiseBytes(5000, 9));
    const std::string payload = scratch / "p.lzma";
    ASSERT_EQ(run({"create", "-o", payload, scratch / "x"}).status, 0);
    Bytes bytes = readBytes(payload);
    bytes.resize(bytes.size() / 2);
    writeBytes(payload, bytes);
    RunResult result = run({"list", payload});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("vempack: error: the compressed data ends too early"),
              std::string::npos)
        << result.err;

    // Well compressed, but the archive inside stops in the middle of a record.
    ASSERT_EQ(run({"archive", "-o", scratch / "a.hen", scratch / "x"}).status, 0);
    bytes = readBytes(scratch / "a.hen");
    bytes.resize(bytes.size() - 10);
    writeBytes(scratch / "a.hen", bytes);
    ASSERT_EQ(run({"compress", "-o", payload, scratch / "a.hen"}).status, 0);
    result = run({"extract", payload, scratch / "out"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("the archive is truncated: entry 0's data"), std::string::npos)
        << result.err;
}

TEST_F(VempackCli, BadCommandLinesExitWithTwo) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"pack"},
        {"create", "x"},
        {"create", "-o", "y", "--lc", "5", "x"},
        {"create", "-o", "y", "--lc", "4", "--lp", "1", "x"},
        {"create", "-o", "y", "--unknown-size", "x"},
        {"create", "-o", "y", "--nice", "1", "x"},
        {"compress", "-o", "y", "--nice", "274", "x"},
        {"create", "-o", "y", "--launch", "x", "--no-launch", "x"},
        {"compress", "-o", "y", "--dict", "1KiB", "x"},
        {"compress", "-o", "y", "--dict", "100000", "x"},
        {"list", "--eopm", "x"},
        {"extract", "x"},
        {"create", "-o", "y", "--codepage", "65001", "x"},
        {"create", "-o", "y", "--codepage", "932", "--raw-name", "x"},
        {"list", "--arch", "32", "x"},
        {"build", "-o", "y", "--arch", "16", "x"},
        {"build", "-o", "y", "--arch", "64", "--stub", "s.exe", "x"},
        {"build", "-o", "y", "--codepage", "1252", "--payload", "p.lzma"},
        {"build", "-o", "y", "--version-info", "FileVersion=abc", "x"},
        {"build", "-o", "y", "--version-info", "FileVersion=1.2.3.4.5", "x"},
        {"build", "-o", "y", "--version-info", "ProductVersion=1.65536", "x"},
        {"build", "-o", "y", "--version-info", "ProductVersion=1..2", "x"},
    };
    for (const auto& args : bad) {
        const RunResult result = run(args);
        EXPECT_EQ(result.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(result.err.rfind("vempack: error: ", 0), 0u) << result.err;
    }
    const RunResult version = run({"build", "-o", "y", "--version-info", "FileVersion=abc", "x"});
    EXPECT_NE(version.err.find("FileVersion 'abc' is not one to four numbers"), std::string::npos)
        << version.err;
    const RunResult help = run({"create", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--raw-name"), std::string::npos);
}

TEST_F(VempackCli, ListTellsAPayloadFromAnyOtherFile) {
    writeBytes(scratch / "x", toBytes("x"));
    writeBytes(scratch / "noise", noiseBytes(4000, 7));
    writeBytes(scratch / "empty", {});
    for (const char* file : {"noise", "empty"}) {
        const RunResult result = run({"list", scratch / file});
        EXPECT_EQ(result.status, 1) << file;
        EXPECT_NE(result.err.find("is neither a setup executable (MZ) nor a .lzma payload"),
                  std::string::npos)
            << result.err;
    }
    // Whatever dictionary --dict takes, the header passes for a .lzma one.
    for (const char* dict : {"4096", "96KiB", "12MiB"}) {
        const std::string payload = scratch / "p.lzma";
        ASSERT_EQ(
            run({"create", "-o", payload, "--preset", "0", "--dict", dict, scratch / "x"}).status,
            0)
            << dict;
        EXPECT_EQ(run({"list", payload}).status, 0) << dict;
    }
    // Without --dict the archive's size chooses it, and the packer says which.
    const RunResult sized = run({"create", "-o", scratch / "sized.lzma", scratch / "x"});
    ASSERT_EQ(sized.status, 0) << sized.err;
    EXPECT_NE(sized.err.find("dictionary 4KiB, "), std::string::npos) << sized.err;
    const Bytes header = readBytes(scratch / "sized.lzma");
    EXPECT_EQ(Bytes(header.begin() + 1, header.begin() + 5), (Bytes{0x00, 0x10, 0x00, 0x00}));
    const RunResult given =
        run({"create", "-o", scratch / "given.lzma", "--dict", "96KiB", scratch / "x"});
    EXPECT_NE(given.err.find("dictionary 96KiB, "), std::string::npos) << given.err;
    // A plausible header whose size the stub cannot take is refused, as
    // --help says, with 2.
    ASSERT_EQ(run({"create", "-o", scratch / "big.lzma", scratch / "x"}).status, 0);
    Bytes big = readBytes(scratch / "big.lzma");
    for (int i = 0; i < 8; ++i) {
        big[5 + i] = i == 4 ? 1 : 0; // 4 GiB
    }
    writeBytes(scratch / "big.lzma", big);
    const RunResult result = run({"list", scratch / "big.lzma"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("does not fit in 32 bits"), std::string::npos) << result.err;
}

// An archive larger than its dictionary is packed with files that share
// content side by side; the designation follows its entry.
TEST_F(VempackCli, OrdersEntriesBySharedContentOnlyPastTheDictionary) {
    // C is A but for a byte, B shares A's first half, D shares nothing.
    const Bytes a = noiseBytes(3000, 11);
    Bytes b(a.begin(), a.begin() + 1500);
    const Bytes rest = noiseBytes(1500, 12);
    b.insert(b.end(), rest.begin(), rest.end());
    Bytes nearA = a;
    nearA[1000] ^= 0xFF;
    writeBytes(scratch / "A", a);
    writeBytes(scratch / "B", b);
    writeBytes(scratch / "C", nearA);
    writeBytes(scratch / "D", noiseBytes(3000, 13));
    writeBytes(scratch / "stub.exe", makeTestImage());
    const struct {
        std::vector<std::string> options;
        const char* order;
    } cases[] = {
        {{"create", "--dict", "4KiB"}, "A C B* D "},
        {{"create", "--dict", "4KiB", "--keep-order"}, "A B* C D "},
        {{"create"}, "A B* C D "}, // 16 KiB holds it all
        {{"build", "--stub", scratch / "stub.exe", "--product", "Acme Tool", "--program", "A",
          "--no-uninstaller", "--dict", "4KiB"},
         "A C B* D "},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = c.options;
        args.insert(args.end(), {"-o", scratch / "p.lzma", "--launch", "B"});
        for (const char* name : {"A", "B", "C", "D"}) {
            args.push_back(scratch / name);
        }
        ASSERT_EQ(run(args).status, 0) << c.order;
        const RunResult listed = run({"list", scratch / "p.lzma"});
        std::string order;
        std::istringstream lines(listed.out);
        for (std::string line; std::getline(lines, line);) {
            if (line.size() > 6 && std::isdigit(static_cast<unsigned char>(line[4]))) {
                order += line.substr(line.rfind(' ') + 1) + (line[6] == '*' ? "* " : " ");
            }
        }
        EXPECT_EQ(order, c.order) << listed.out;
    }
}

} // namespace
} // namespace vempack_test
