// vempack with folders and names in a code page: what a real application's
// tree becomes in the archive, and extraction that recreates the levels
// without leaving the target.
#include "archive.h"
#include "payloads.h"
#include "run_vempack.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace vempack_test {
namespace {

namespace fs = std::filesystem;

// 表, ソフト (ソ is 83 5C in code page 932) and café, as UTF-8.
const std::string kHyo = "\xE8\xA1\xA8";
const std::string kSoft = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88";
const std::string kCafe = "caf\xC3\xA9";

class VempackFolders : public ::testing::Test {
  protected:
    RunResult run(const std::vector<std::string>& args) { return last = runVempack(scratch, args); }

    // The names `archive` stores for `args`.
    std::vector<std::string> storedNames(const std::vector<std::string>& args) {
        std::vector<std::string> all{"archive", "-o", scratch / "a.hen"};
        all.insert(all.end(), args.begin(), args.end());
        const RunResult result = run(all);
        EXPECT_EQ(result.status, 0) << result.err;
        std::vector<std::string> names;
        for (const vempack::PackageEntry& entry :
             vempack::readArchive(readBytes(scratch / "a.hen")).entries) {
            names.push_back(entry.name);
        }
        return names;
    }

    // app/ as a small application: nested folders, an empty folder, a link
    // to a file and a link to a folder.
    std::string makeApplication() {
        const std::string app = scratch / "app";
        fs::create_directories(app + "/plugins/platforms");
        fs::create_directories(app + "/lib");
        fs::create_directories(app + "/empty/deeper");
        writeBytes(app + "/a.exe", toBytes("program"));
        writeBytes(app + "/plugins/platforms/qwindows.dll", noiseBytes(3000, 2));
        writeBytes(app + "/lib/x.dll", toBytes("x"));
        fs::create_symlink("../a.exe", app + "/lib/alink.exe");
        fs::create_symlink("lib", app + "/linkdir");
        return app;
    }

    ScopedTempDir scratch{"vempack-test"};
    RunResult last;
};

std::vector<std::string> under(const std::string& prefix, const std::vector<std::string>& names) {
    std::vector<std::string> prefixed;
    for (const std::string& name : names) {
        prefixed.push_back(prefix + name);
    }
    return prefixed;
}

TEST_F(VempackFolders, StoresADirectoryUnderItsNameItsContentsOnlyOrAGivenName) {
    const std::string app = makeApplication();
    writeBytes(scratch / "first.txt", toBytes("first"));
    // Sorted by path; the link to a file is that file.
    const std::vector<std::string> contents{"a.exe", "lib\\alink.exe", "lib\\x.dll",
                                            "plugins\\platforms\\qwindows.dll"};

    EXPECT_EQ(storedNames({app}), under("app\\", contents));
    EXPECT_NE(last.err.find("skipping the empty directory '" + app +
                            "/empty' (the archive format has no directory entries)"),
              std::string::npos)
        << last.err;
    EXPECT_EQ(last.err.find("deeper"), std::string::npos) << last.err;
    EXPECT_NE(last.err.find("skipping '" + app + "/linkdir', a symbolic link to a directory"),
              std::string::npos)
        << last.err;

    EXPECT_EQ(storedNames({app + "/"}), contents);
    EXPECT_EQ(storedNames({"Qt/bin=" + app}), under("Qt\\bin\\", contents));
    EXPECT_EQ(storedNames({"Qt\\bin\\=" + app}), under("Qt\\bin\\", contents));

    // Operands keep their order: the first file is designated.
    const std::vector<std::string> mixed = storedNames({scratch / "first.txt", app + "/"});
    EXPECT_EQ(mixed.front(), "first.txt");
    EXPECT_EQ(mixed.size(), contents.size() + 1);
    const vempack::Package package = vempack::readArchive(readBytes(scratch / "a.hen"));
    EXPECT_EQ(package.designatedIndex, 0);
    EXPECT_EQ(package.entries[1].data, toBytes("program"));
    EXPECT_EQ(package.entries[2].data, toBytes("program"));

    // --launch takes either separator and ignores case, as Windows would.
    for (const std::string launch :
         {"plugins/platforms/QWINDOWS.dll", "plugins\\platforms\\qwindows.dll"}) {
        ASSERT_EQ(run({"archive", "-o", scratch / "b.hen", "--launch", launch, app + "/"}).status,
                  0)
            << last.err;
        EXPECT_EQ(vempack::readArchive(readBytes(scratch / "b.hen")).designatedIndex, 3);
    }
}

TEST_F(VempackFolders, RefusesWhatCannotBeStoredAndStoresNothing) {
    fs::create_directories(scratch / "empty/inner");
    EXPECT_EQ(run({"create", "-o", scratch / "p.lzma", scratch / "empty"}).status, 2);
    EXPECT_NE(last.err.find("skipping the empty directory"), std::string::npos) << last.err;
    EXPECT_NE(last.err.find("no files to store"), std::string::npos) << last.err;

    const auto refusedDirectory = [&](const std::string& directory, const std::string& words) {
        EXPECT_EQ(run({"create", "-o", scratch / "p.lzma", directory}).status, 2) << words;
        EXPECT_NE(last.err.find(words), std::string::npos) << last.err;
        EXPECT_FALSE(fs::exists(scratch / "p.lzma"));
    };
    fs::create_directories(scratch / "backslash");
    writeBytes(scratch / "backslash/a\\b.txt", toBytes("x"));
    refusedDirectory(scratch / "backslash", "holds a backslash");

    fs::create_directories(scratch / "fifo");
    writeBytes(scratch / "fifo/ok.txt", toBytes("x"));
    ASSERT_EQ(mkfifo((scratch / "fifo/pipe").c_str(), 0600), 0);
    refusedDirectory(scratch / "fifo", "not a regular file or a directory");

    fs::create_directories(scratch / "dangling");
    fs::create_symlink("nothing", scratch / "dangling/link");
    refusedDirectory(scratch / "dangling", "a symbolic link to nothing");

    // A directory named "." has no name of its own to store.
    refusedDirectory(scratch / "fifo/..", "to store its contents");

    // A file and a folder of one name, from two operands.
    writeBytes(scratch / "lib", toBytes("x"));
    fs::create_directories(scratch / "tree/lib");
    writeBytes(scratch / "tree/lib/x.dll", toBytes("x"));
    EXPECT_EQ(run({"create", "-o", scratch / "p.lzma", scratch / "lib", scratch / "tree/"}).status,
              2);
    EXPECT_NE(last.err.find("needs it as a folder"), std::string::npos) << last.err;
}

TEST_F(VempackFolders, ExtractRecreatesTheLevelsWithTheUmasksModes) {
    const std::string app = makeApplication();
    // Group-writable, unlike the 0644 a fixed mode would give.
    const mode_t previous = umask(002);
    const RunResult created = run({"create", "-o", scratch / "p.lzma", app});
    const RunResult listed = run({"list", scratch / "p.lzma"});
    const RunResult extracted = run({"extract", scratch / "p.lzma", scratch / "out"});
    umask(previous);
    ASSERT_EQ(created.status, 0) << created.err;
    ASSERT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_NE(listed.out.find("3000  app\\plugins\\platforms\\qwindows.dll\n"), std::string::npos)
        << listed.out;

    EXPECT_EQ(listTree(scratch / "out"),
              (std::vector<std::string>{"app/", "app/a.exe", "app/lib/", "app/lib/alink.exe",
                                        "app/lib/x.dll", "app/plugins/", "app/plugins/platforms/",
                                        "app/plugins/platforms/qwindows.dll"}));
    EXPECT_EQ(readBytes(scratch / "out/app/plugins/platforms/qwindows.dll"), noiseBytes(3000, 2));
    EXPECT_EQ(readBytes(scratch / "out/app/lib/alink.exe"), toBytes("program"));
    const auto mode = [](const std::string& path) {
        return fs::status(path).permissions() & fs::perms::all;
    };
    const fs::perms file = static_cast<fs::perms>(0664);
    EXPECT_EQ(mode(scratch / "p.lzma"), file);
    EXPECT_EQ(mode(scratch / "out/app/a.exe"), file);
    EXPECT_EQ(mode(scratch / "out/app/plugins/platforms"), static_cast<fs::perms>(0775));
    EXPECT_EQ(mode(scratch / "out"), static_cast<fs::perms>(0775));
}

TEST_F(VempackFolders, ExtractRefusesHostileLevelsBeforeWritingAnything) {
    writeBytes(scratch / "x", toBytes("x"));
    const std::string x = scratch / "x";
    const std::string hostile[] = {"..\\x",    "a\\..\\x", "a\\b\\..\\..\\..\\x",
                                   "a\\b\\..", "a\\..",    "a\\CON\\x",
                                   "a\\\\x",   "a\\x.",    "a\\b \\x",
                                   "\\x",      "a\\",      "a\\lpt1.log\\x",
                                   "a/../../x"};
    for (const std::string& name : hostile) {
        const std::string payload = scratch / "p.lzma";
        ASSERT_EQ(
            run({"create", "-o", payload, "--raw-name", "ok\\a.txt=" + x, name + "=" + x}).status,
            0)
            << name;
        EXPECT_EQ(run({"extract", payload, scratch / "out"}).status, 2) << name;
        EXPECT_NE(last.err.find("nothing was extracted"), std::string::npos) << last.err;
        EXPECT_FALSE(fs::exists(scratch / "out")) << name;
    }
    // Two entries that need one path as a file and as a folder.
    ASSERT_EQ(run({"create", "-o", scratch / "p.lzma", "--raw-name", "a=" + x, "A\\b=" + x}).status,
              0);
    EXPECT_EQ(run({"extract", scratch / "p.lzma", scratch / "out"}).status, 2);
    EXPECT_NE(last.err.find("as both a file and a folder"), std::string::npos) << last.err;
    EXPECT_FALSE(fs::exists(scratch / "out"));
}

TEST_F(VempackFolders, ExtractNeverWritesThroughASymbolicLinkAtAnyLevel) {
    writeBytes(scratch / "x", toBytes("payload"));
    fs::create_directories(scratch / "outside");
    for (const std::string name : {"sub\\f.txt", "sub\\deeper\\f.txt"}) {
        const std::string target = scratch / "target";
        fs::remove_all(target);
        fs::create_directories(target + "/sub");
        // The link takes the place of the last folder level.
        const std::string link = name == "sub\\f.txt" ? "/sub" : "/sub/deeper";
        fs::remove(target + link);
        fs::create_directory_symlink(scratch / "outside", target + link);
        ASSERT_EQ(run({"create", "-o", scratch / "p.lzma", name + "=" + (scratch / "x")}).status,
                  0);

        EXPECT_EQ(run({"extract", scratch / "p.lzma", target}).status, 1) << name;
        EXPECT_NE(last.err.find("refusing to write through the symbolic link"), std::string::npos)
            << last.err;
        EXPECT_TRUE(listDirectory(scratch / "outside").empty()) << name;
    }
}

TEST_F(VempackFolders, NamesRoundTripThroughTheCodePage) {
    // 表 and ソ end in the byte 0x5C in code page 932, which is no separator.
    fs::create_directories(scratch / "jp/" + kHyo);
    writeBytes(scratch / "jp/" + kHyo + "/" + kSoft + ".txt", toBytes("soft"));
    writeBytes(scratch / "jp/" + kHyo + ".txt", toBytes("table"));
    const std::string payload = scratch / "jp.lzma";

    ASSERT_EQ(run({"create", "-o", payload, "--codepage", "932", "--launch", "jp/" + kHyo + ".txt",
                   scratch / "jp"})
                  .status,
              0)
        << last.err;
    EXPECT_NE(last.err.find("vempack: names stored in code page 932\n"), std::string::npos);
    ASSERT_EQ(
        run({"archive", "-o", scratch / "jp.hen", "--codepage", "932", scratch / "jp"}).status, 0);
    const vempack::Package package = vempack::readArchive(readBytes(scratch / "jp.hen"));
    ASSERT_EQ(package.entries.size(), 2u);
    EXPECT_EQ(package.entries[0].name, "jp\\\x95\x5C\\\x83\x5C\x83\x74\x83\x67.txt");
    EXPECT_EQ(package.entries[1].name, "jp\\\x95\x5C.txt");

    EXPECT_EQ(run({"list", "--codepage", "932", payload}).status, 0);
    EXPECT_NE(last.out.find("  jp\\" + kHyo + "\\" + kSoft + ".txt\n"), std::string::npos)
        << last.out;
    EXPECT_NE(last.out.find("    1 *          5  jp\\" + kHyo + ".txt\n"), std::string::npos)
        << last.out;

    // Without the code page the levels are not even known.
    EXPECT_EQ(run({"extract", payload, scratch / "out"}).status, 2);
    EXPECT_NE(last.err.find("--codepage"), std::string::npos) << last.err;
    EXPECT_FALSE(fs::exists(scratch / "out"));

    ASSERT_EQ(run({"extract", "--codepage", "932", payload, scratch / "out"}).status, 0)
        << last.err;
    EXPECT_EQ(listTree(scratch / "out"),
              (std::vector<std::string>{"jp/", "jp/" + kHyo + ".txt", "jp/" + kHyo + "/",
                                        "jp/" + kHyo + "/" + kSoft + ".txt"}));
    EXPECT_EQ(readBytes(scratch / "out/jp/" + kHyo + "/" + kSoft + ".txt"), toBytes("soft"));
}

TEST_F(VempackFolders, ANameOutsideAsciiNeedsACodePageThatHoldsIt) {
    const std::string cafe = scratch / kCafe + ".txt";
    writeBytes(cafe, toBytes("cafe"));
    const std::string payload = scratch / "p.lzma";

    EXPECT_EQ(run({"create", "-o", payload, cafe}).status, 2);
    EXPECT_NE(last.err.find("cannot store '" + cafe + "'"), std::string::npos) << last.err;
    EXPECT_NE(last.err.find("--codepage"), std::string::npos) << last.err;
    EXPECT_EQ(run({"create", "-o", payload, "--codepage", "932", cafe}).status, 2);
    EXPECT_NE(last.err.find("code page 932 cannot represent"), std::string::npos) << last.err;
    EXPECT_FALSE(fs::exists(payload));

    ASSERT_EQ(run({"archive", "-o", scratch / "a.hen", "--codepage", "1252", cafe}).status, 0);
    EXPECT_EQ(vempack::readArchive(readBytes(scratch / "a.hen")).entries[0].name, "caf\xE9.txt");
    ASSERT_EQ(run({"create", "-o", payload, "--codepage", "1252", cafe}).status, 0);
    EXPECT_EQ(run({"list", payload}).status, 0);
    EXPECT_NE(last.out.find("  caf\\xE9.txt\n"), std::string::npos) << last.out;
    ASSERT_EQ(run({"extract", "--codepage", "1252", payload, scratch / "out"}).status, 0);
    EXPECT_EQ(readBytes(scratch / "out/" + kCafe + ".txt"), toBytes("cafe"));
}

} // namespace
} // namespace vempack_test
