// vempack build and the PE reader behind list and extract: a synthetic stub
// rewritten, read back, refused where it cannot be rewritten safely, and
// hostile executables read without harm.
#include "commands.h"
#include "error.h"
#include "payloads.h"
#include "pe_image.h"
#include "pe_layout.h"
#include "pe_resources.h"
#include "pe_rewrite.h"
#include "pe_test_image.h"
#include "run_vempack.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>

namespace vempack_test {
namespace {

namespace fs = std::filesystem;
namespace pe = vempack::pe;

using vempack::Bytes;
using vempack::Resource;
using vempack::storeLe;

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

    // The payload that build embeds for `files`.
    Bytes createdPayload() {
        std::vector<std::string> args{"create", "-o", scratch / "p.lzma"};
        args.insert(args.end(), files.begin(), files.end());
        EXPECT_EQ(runVempack(scratch, args).status, 0);
        return readBytes(scratch / "p.lzma");
    }

    ScopedTempDir scratch{"vempack-test"};
    std::vector<std::string> files;
};

// Each of `expected` is in `actual` once, alike in every field, and
// nothing else is.
void expectResources(const std::vector<Resource>& actual, const std::vector<Resource>& expected,
                     const std::string& label) {
    EXPECT_EQ(actual.size(), expected.size()) << label;
    for (const Resource& want : expected) {
        const auto found = std::count_if(actual.begin(), actual.end(), [&](const Resource& r) {
            return r.type == want.type && r.name == want.name && r.language == want.language &&
                   r.codePage == want.codePage && r.data == want.data;
        });
        EXPECT_EQ(found, 1) << label << ": " << vempack::describeResource(want);
    }
}

bool isPayload(const Resource& resource) {
    return resource.type == vempack::payloadType() && resource.name == vempack::resourceId(105);
}

bool checksumHolds(const Bytes& image) {
    const vempack::PeImage parsed = vempack::parsePeImage(image);
    const std::size_t field = parsed.optionalHeaderOffset + pe::optionalHeader::kCheckSum;
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

        std::vector<Resource> expected = stubResources();
        expected.push_back(
            {vempack::payloadType(), vempack::resourceId(105), 0, 0, createdPayload()});
        expectResources(resourcesOf(setup), expected, pe32Plus ? "PE32+" : "PE32");
        // The code section is untouched; the sizes and checksum follow the
        // new resource section.
        EXPECT_TRUE(std::equal(stub.begin() + 0x200, stub.begin() + 0x400, setup.begin() + 0x200));
        EXPECT_TRUE(checksumHolds(setup));
        const vempack::PeImage parsed = vempack::parsePeImage(setup);
        const vempack::PeSection& rsrc = parsed.sections.back();
        EXPECT_EQ(setup.size(), rsrc.pointerToRawData + rsrc.sizeOfRawData);
        EXPECT_EQ(vempack::dataDirectory(parsed, pe::directory::kResource).size, rsrc.virtualSize);
        const std::uint8_t* optional = &setup[parsed.optionalHeaderOffset];
        EXPECT_EQ(vempack::loadLe32(optional + pe::optionalHeader::kSizeOfImage),
                  vempack::alignUp(rsrc.virtualAddress + rsrc.virtualSize, 0x1000));
        EXPECT_EQ(vempack::loadLe32(optional + pe::optionalHeader::kSizeOfInitializedData),
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
        {makeTestImage(relocLast), "not the last section (section 2 \".reloc\" follows it)"},
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
    const vempack::PeImage parsed = vempack::parsePeImage(setup);
    EXPECT_EQ(vempack::dataDirectory(parsed, pe::directory::kCertificate).address, 0u);
    EXPECT_EQ(vempack::dataDirectory(parsed, pe::directory::kCertificate).size, 0u);
    EXPECT_EQ(setup.size(), parsed.endOfSectionData);
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

// Where sections overlap or lie off their alignment, the loader may take
// other bytes for an RVA than a reader of the section table, and a rewrite
// of one section can change another: refused, naming the sections.
TEST_F(VempackBuild, RefusesOverlappingOrMisalignedSections) {
    namespace sec = pe::sectionHeader;
    const auto patched = [](std::size_t section, std::size_t field, std::uint32_t value) {
        Bytes image = makeTestImage();
        setSectionField(image, section, field, value);
        return image;
    };
    Bytes relocationsInRsrc = makeTestImage();
    storeLe(relocationsInRsrc,
            vempack::parsePeImage(relocationsInRsrc).directoriesOffset +
                pe::directory::kEntrySize * 5,
            0x2100, 4);
    const struct {
        Bytes stub;
        const char* words;
    } cases[] = {
        {patched(0, sec::kVirtualAddress, 0x2000),
         "section 0 \".text\" and section 1 \".rsrc\" overlap in memory (0x2000-0x2010 and"},
        {patched(0, sec::kVirtualSize, 0x1001),
         "section 0 \".text\" and section 1 \".rsrc\" overlap in memory (0x1000-0x2001 and"},
        {patched(0, sec::kSizeOfRawData, 0x400),
         "section 0 \".text\" and section 1 \".rsrc\" overlap in the file (0x200-0x600 and"},
        {patched(0, sec::kPointerToRawData, 0),
         "the headers and section 0 \".text\" overlap in the file (0x0-0x200 and 0x0-0x200)"},
        {patched(0, sec::kVirtualAddress, 0x1800),
         "section 0 \".text\" starts at RVA 0x1800, not at a multiple of the section alignment "
         "0x1000"},
        {patched(0, sec::kPointerToRawData, 0x300),
         "section 0 \".text\"'s raw data (0x200 bytes at file offset 0x300) is not aligned to "
         "the file alignment 0x200"},
        {relocationsInRsrc, "data directory 5 lies in the resource section (section 1 \".rsrc\")"},
    };
    for (const auto& c : cases) {
        const RunResult result = buildFiles(c.stub);
        EXPECT_EQ(result.status, 2) << c.words;
        EXPECT_NE(result.err.find(c.words), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(output())) << c.words;
    }
}

// Every stub of the PE corpus is either refused with a message and nothing
// written, or written with each of its resources and the new payload. The
// stubs that fuzzing found rewritten with resources lost or changed are
// refused, for the reason given.
TEST_F(VempackBuild, CorpusStubsAreRefusedOrKeepEveryResource) {
    const std::string folder = std::string(VEMSETUP_CORPUS) + "/pe_image/";
    const std::map<std::string, std::string> findings = {
        {"refused-reloc-misaligned-into-rsrc.exe",
         "section 8 \".reloc\" starts at RVA 0xFF00, not at a multiple of the section alignment"},
        {"refused-text-at-the-rsrc-address.exe",
         "section 0 \".text\" and section 1 \".rsrc\" overlap in memory"},
        {"refused-text-raw-data-over-rsrc.exe",
         "section 0 \".text\" and section 1 \".rsrc\" overlap in the file"},
    };
    const Bytes payload = createdPayload();
    std::size_t findingsSeen = 0;
    for (const std::string& name : listDirectory(folder)) {
        const Bytes stub = readBytes(folder + name);
        fs::remove(output());
        const RunResult result = buildFiles(stub, {"--strip-signature"});
        if (result.status != 0) {
            EXPECT_EQ(result.status, 2) << name;
            EXPECT_NE(result.err.find("vempack: error: the stub"), std::string::npos) << name;
            EXPECT_FALSE(fs::exists(output())) << name;
            EXPECT_NE(name.rfind("valid-", 0), 0u) << name << ": " << result.err;
            const auto finding = findings.find(name);
            if (finding != findings.end()) {
                ++findingsSeen;
                EXPECT_NE(result.err.find(finding->second), std::string::npos) << result.err;
            }
            continue;
        }
        EXPECT_NE(name.rfind("refused-", 0), 0u) << name;
        std::vector<Resource> expected = resourcesOf(stub);
        expected.erase(std::remove_if(expected.begin(), expected.end(), isPayload), expected.end());
        std::vector<Resource> actual = resourcesOf(readBytes(output()));
        const auto written = std::find_if(actual.begin(), actual.end(), isPayload);
        ASSERT_NE(written, actual.end()) << name;
        EXPECT_EQ(written->data, payload) << name;
        actual.erase(written);
        expectResources(actual, expected, name);
    }
    EXPECT_EQ(findingsSeen, findings.size());
}

// What build checks on the image it wrote before writing it out: an image
// that does not hold exactly the resources wanted is refused, the first
// difference named.
TEST(WrittenImageCheck, RefusesAnImageThatDiffersFromWhatWasWanted) {
    std::vector<Resource> wanted = stubResources();
    wanted.push_back({vempack::payloadType(), vempack::resourceId(105), 0, 0, Bytes(300, 0x5D)});
    const Bytes written = vempack::replaceResources(makeTestImage(), wanted, {});
    const auto refusal = [](const Bytes& image, const std::vector<Resource>& want) {
        try {
            vempack::checkWrittenResources(image, want);
        } catch (const vempack::ReadBackError& e) {
            EXPECT_EQ(e.exitStatus(), vempack::kExitRefused);
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(refusal(written, wanted), "accepted");

    Bytes tampered = written;
    const Bytes payload(300, 0x5D);
    const auto at = std::search(tampered.begin(), tampered.end(), payload.begin(), payload.end());
    ASSERT_NE(at, tampered.end());
    at[150] ^= 1;
    std::vector<Resource> otherCodePage = wanted;
    otherCodePage[2].codePage = 1200;
    std::vector<Resource> more = wanted;
    more.push_back({vempack::resourceId(24), vempack::resourceId(2), 1033, 0, {'x'}});
    const std::vector<Resource> fewer(wanted.begin() + 1, wanted.end());
    const struct {
        Bytes image;
        std::vector<Resource> wanted;
        const char* words;
    } cases[] = {
        {tampered, wanted, "(\"PACKAGE\" 105 in language 0 holds other data from byte 150 on)"},
        {written, otherCodePage,
         "(\"OTHER\" \"NAMED\" in language 0 has code page 1252 instead of 1200)"},
        {written, more, "(24 2 in language 1033 is missing)"},
        {written, fewer, "(24 1 in language 1033 is there but was not wanted)"},
        {Bytes(written.begin(), written.end() - 0x200), wanted, "(it does not read back: "},
    };
    for (const auto& c : cases) {
        EXPECT_NE(refusal(c.image, c.wanted).find(c.words), std::string::npos) << c.words;
    }
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
    storeLe(loop, rsrc + pe::resourceDirectory::kSize + pe::resourceEntry::kTarget,
            pe::resourceEntry::kHighBit, 4);
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
