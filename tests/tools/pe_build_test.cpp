// vempack build and the PE reader behind list and extract: a synthetic stub
// rewritten, read back, refused where it cannot be rewritten safely, and
// hostile executables read without harm.
#include "commands.h"
#include "error.h"
#include "payloads.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "pe_test_image.h"
#include "run_vempack.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace vempack_test {
namespace {

namespace fs = std::filesystem;

using vempack::Bytes;
using vempack::Resource;

class VempackBuild : public ::testing::Test {
  protected:
    void SetUp() override {
        writeBytes(scratch / "Setup.exe", noiseBytes(3000, 5));
        writeBytes(scratch / "Readme.txt", toBytes("read me\r\n"));
        files = {scratch / "Setup.exe", scratch / "Readme.txt"};
    }

    RunResult build(const Bytes& stub, std::vector<std::string> extra = {}) {
        writeBytes(scratch / "stub.exe", stub);
        std::vector<std::string> args{"build", "-o", output(), "--stub", scratch / "stub.exe"};
        args.insert(args.end(), extra.begin(), extra.end());
        return runVempack(scratch, args);
    }

    RunResult buildFiles(const Bytes& stub, std::vector<std::string> extra = {}) {
        extra.insert(extra.end(), files.begin(), files.end());
        return build(stub, extra);
    }

    std::string output() const { return (scratch / "setup.exe"); }

    static std::vector<Resource> resourcesOf(const Bytes& image) {
        return vempack::readResources(vempack::parsePeImage(image), image);
    }

    ScopedTempDir scratch{"vempack-test"};
    std::vector<std::string> files;
};

bool checksumHolds(const Bytes& image) {
    const vempack::PeImage pe = vempack::parsePeImage(image);
    const std::size_t field = pe.optionalHeaderOffset + vempack::kCheckSumField;
    return vempack::loadLe32(&image[field]) == vempack::peChecksum(image, field);
}

TEST_F(VempackBuild, KeepsEveryResourceAndAddsThePayload) {
    for (const bool pe32Plus : {false, true}) {
        TestImageShape shape;
        shape.pe32Plus = pe32Plus;
        const Bytes stub = makeTestImage(shape);
        const RunResult result = buildFiles(stub);
        ASSERT_EQ(result.status, 0) << result.err;
        const Bytes setup = readBytes(output());

        ASSERT_TRUE(runVempack(scratch, std::vector<std::string>{"create", "-o", scratch / "p.lzma",
                                                                 files[0], files[1]})
                        .status == 0);
        std::vector<Resource> expected = stubResources();
        expected.push_back({vempack::payloadType(), vempack::resourceId(105), 0, 0,
                            readBytes(scratch / "p.lzma")});
        const std::vector<Resource> actual = resourcesOf(setup);
        ASSERT_EQ(actual.size(), expected.size());
        for (const Resource& want : expected) {
            const auto found = std::find_if(actual.begin(), actual.end(), [&](const Resource& r) {
                return r.type == want.type && r.name == want.name && r.language == want.language;
            });
            ASSERT_NE(found, actual.end()) << vempack::describeKey(want.type);
            EXPECT_EQ(found->data, want.data) << vempack::describeKey(want.type);
            EXPECT_EQ(found->codePage, want.codePage);
        }
        // The code section is untouched; the sizes and checksum follow the
        // new resource section.
        EXPECT_TRUE(std::equal(stub.begin() + 0x200, stub.begin() + 0x400, setup.begin() + 0x200));
        EXPECT_TRUE(checksumHolds(setup));
        const vempack::PeImage pe = vempack::parsePeImage(setup);
        const vempack::PeSection& rsrc = pe.sections.back();
        EXPECT_EQ(setup.size(), rsrc.pointerToRawData + rsrc.sizeOfRawData);
        EXPECT_EQ(vempack::dataDirectory(pe, vempack::kResourceDirectory).size, rsrc.virtualSize);
        EXPECT_EQ(vempack::loadLe32(&setup[pe.optionalHeaderOffset + vempack::kSizeOfImageField]),
                  vempack::alignUp(rsrc.virtualAddress + rsrc.virtualSize, 0x1000));
        EXPECT_EQ(vempack::loadLe32(&setup[pe.optionalHeaderOffset + 8]),
                  0x200 + rsrc.sizeOfRawData);

        const RunResult list = runVempack(scratch, {"list", output()});
        EXPECT_EQ(list.status, 0) << list.err;
        EXPECT_NE(list.out.find("    0 *       3000  Setup.exe\n"), std::string::npos) << list.out;
        ASSERT_EQ(runVempack(scratch, {"extract", output(), scratch / "out"}).status, 0);
        EXPECT_EQ(readBytes(scratch / "out/Readme.txt"), toBytes("read me\r\n"));
    }
}

TEST_F(VempackBuild, ReplacesAnExistingPayloadAndTakesOneFromASetup) {
    ASSERT_EQ(buildFiles(makeTestImage()).status, 0);
    const Bytes first = readBytes(output());
    // A setup is a stub too: its payload is replaced, not doubled.
    writeBytes(scratch / "other", toBytes("other"));
    ASSERT_EQ(build(first, {scratch / "other"}).status, 0);
    std::vector<Resource> resources = resourcesOf(readBytes(output()));
    EXPECT_EQ(std::count_if(resources.begin(), resources.end(),
                            [](const Resource& r) { return r.type == vempack::payloadType(); }),
              1);
    EXPECT_NE(runVempack(scratch, {"list", output()}).out.find("other"), std::string::npos);

    // --payload takes the payload of a .lzma file or of another setup.
    writeBytes(scratch / "first.exe", first);
    ASSERT_EQ(build(makeTestImage(), {"--payload", scratch / "first.exe"}).status, 0);
    EXPECT_EQ(readBytes(output()), first);
}

TEST_F(VempackBuild, OutputDependsOnlyOnTheInputs) {
    ASSERT_EQ(buildFiles(makeTestImage()).status, 0);
    const Bytes first = readBytes(output());
    // The same contents under the same names, from elsewhere and with other
    // times.
    fs::create_directory(scratch / "elsewhere");
    for (const char* name : {"Readme.txt", "Setup.exe"}) {
        fs::copy_file((scratch / name), (scratch / std::string("elsewhere/") + name));
        fs::last_write_time((scratch / std::string("elsewhere/") + name),
                            fs::file_time_type::clock::now() - std::chrono::hours(1000));
    }
    files = {"Setup.exe=" + scratch / "elsewhere/Setup.exe",
             "Readme.txt=" + (scratch / "elsewhere/Readme.txt")};
    ASSERT_EQ(buildFiles(makeTestImage()).status, 0);
    EXPECT_EQ(readBytes(output()), first);
}

TEST_F(VempackBuild, RefusesStubsItCannotRewriteSafely) {
    TestImageShape relocLast;
    relocLast.relocAfterResources = true;
    TestImageShape overlay;
    overlay.overlay = toBytes("appended archive");
    TestImageShape signedStub;
    signedStub.certificate = Bytes(64, 0x30);
    const struct {
        Bytes stub;
        const char* words;
    } cases[] = {
        {toBytes("#!/bin/sh\n"), "not a PE32/PE32+ image"},
        {Bytes{'M', 'Z', 0, 0}, "not a PE32/PE32+ image"},
        {makeTestImage(relocLast), "not the last section (.reloc follows it)"},
        {makeTestImage(overlay), "16 bytes follow the image's sections (an overlay"},
        {makeTestImage(signedStub), "--strip-signature"},
    };
    for (const auto& c : cases) {
        const RunResult result = buildFiles(c.stub);
        EXPECT_EQ(result.status, 2) << c.words;
        EXPECT_NE(result.err.find(c.words), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(output())) << c.words;
    }

    // With --strip-signature the certificate table goes, and nothing else.
    ASSERT_EQ(buildFiles(makeTestImage(signedStub), {"--strip-signature"}).status, 0);
    const Bytes setup = readBytes(output());
    const vempack::PeImage pe = vempack::parsePeImage(setup);
    EXPECT_EQ(vempack::dataDirectory(pe, vempack::kCertificateDirectory).address, 0u);
    EXPECT_EQ(vempack::dataDirectory(pe, vempack::kCertificateDirectory).size, 0u);
    EXPECT_EQ(setup.size(), pe.endOfSectionData);
    ASSERT_EQ(buildFiles(makeTestImage()).status, 0);
    EXPECT_EQ(readBytes(output()), setup);

    // A payload that states more than the stub can decode (4 GiB - 1).
    ASSERT_EQ(runVempack(scratch, {"create", "-o", scratch / "big.lzma", files[0]}).status, 0);
    Bytes big = readBytes(scratch / "big.lzma");
    storeLe(big, 5, std::uint64_t{1} << 32, 8);
    writeBytes(scratch / "big.lzma", big);
    fs::remove(output());
    const RunResult tooBig = build(makeTestImage(), {"--payload", scratch / "big.lzma"});
    EXPECT_NE(tooBig.status, 0);
    EXPECT_NE(tooBig.err.find("does not fit in 32 bits"), std::string::npos) << tooBig.err;
    EXPECT_FALSE(fs::exists(output()));

    const RunResult both =
        runVempack(scratch, {"build", "-o", output(), "--payload", "p.lzma", files[0]});
    EXPECT_EQ(both.status, 2);
    EXPECT_NE(both.err.find("exclude each other"), std::string::npos);
}

TEST_F(VempackBuild, VersionInformationAndIconReplaceTheStubs) {
    writeBytes(scratch / "bad.ico", toBytes("not an icon"));
    const struct {
        std::vector<std::string> args;
        const char* words;
    } refused[] = {
        {{"--version-info", "Colour=blue"}, "is not KEY=VALUE"},
        {{"--version-info", std::string("ProductName=\xC3")}, "is not UTF-8"},
        {{"--icon", scratch / "bad.ico"}, "--icon: not an .ico file"},
    };
    for (const auto& c : refused) {
        const RunResult result = buildFiles(makeTestImage(), c.args);
        EXPECT_EQ(result.status, 2) << c.words;
        EXPECT_NE(result.err.find(c.words), std::string::npos) << result.err;
    }
    ASSERT_EQ(buildFiles(makeTestImage(), {"--version-info", "ProductName=Mine"}).status, 0);
    const std::vector<Resource> resources = resourcesOf(readBytes(output()));
    const auto versions = std::count_if(resources.begin(), resources.end(), [](const Resource& r) {
        return r.type == vempack::resourceId(16);
    });
    EXPECT_EQ(versions, 1);
}

TEST_F(VempackBuild, HostileExecutablesAreRefusedNotRead) {
    ASSERT_EQ(buildFiles(makeTestImage()).status, 0);
    const Bytes setup = readBytes(output());
    const std::size_t rsrc = vempack::parsePeImage(setup).sections.back().pointerToRawData;

    // The root's first entry pointing back at the root: a loop.
    Bytes loop = setup;
    storeLe(loop, rsrc + 16 + 4, 0x80000000u, 4);
    writeBytes(scratch / "loop.exe", loop);
    RunResult result = runVempack(scratch, {"list", scratch / "loop.exe"});
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find("twice"), std::string::npos) << result.err;

    // Every cut and a byte flipped at every offset of the headers and the
    // resource directory: each is either read or refused, never read out
    // of bounds (the sanitizer build checks that).
    std::size_t refused = 0;
    const auto attempt = [&](const Bytes& image) {
        try {
            vempack::payloadBytes(image);
        } catch (const vempack::ToolError&) {
            ++refused;
        }
    };
    for (std::size_t cut = 0; cut < setup.size(); cut += 7) {
        attempt(Bytes(setup.begin(), setup.begin() + cut));
    }
    for (std::size_t at = 0; at < rsrc + 0x100; ++at) {
        Bytes flipped = setup;
        flipped[at] ^= 0xFF;
        attempt(flipped);
    }
    EXPECT_GT(refused, setup.size() / 7);
}

} // namespace
} // namespace vempack_test
