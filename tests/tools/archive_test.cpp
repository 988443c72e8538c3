// Writing and strict reading of the package archive.
#include "archive.h"
#include "error.h"
#include "payloads.h"

#include <gtest/gtest.h>

namespace vempack {
namespace {

Package samplePackage() {
    Package package;
    package.designationFlag = 1;
    package.designatedIndex = 1;
    package.entries = {
        {"Setup.exe", noiseBytes(3000, 1)}, {"Readme.txt", toBytes("read me\r\n")}, {"empty", {}}};
    return package;
}

// Expects `archive` to be refused with a message that contains `words`.
void expectRefused(const Bytes& archive, const std::string& words) {
    try {
        readArchive(archive);
        ADD_FAILURE() << "accepted a malformed archive";
    } catch (const ToolError& e) {
        EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
}

TEST(WriteArchive, LaysOutHeaderAndRecordsLittleEndian) {
    Package package;
    package.designationFlag = 1;
    package.designatedIndex = 0;
    package.entries = {{"a", toBytes("xy")}};
    const Bytes expected = {'H', 'E', 'N', 1, 0, 0, 0,   1, 0, 0, 0, 0,   0,
                            0,   0,   1,   0, 0, 0, 'a', 2, 0, 0, 0, 'x', 'y'};
    EXPECT_EQ(writeArchive(package), expected);

    package.designationFlag = 0;
    package.designatedIndex = -1;
    const Bytes undesignated = writeArchive(package);
    EXPECT_EQ(Bytes(undesignated.begin() + 7, undesignated.begin() + 15),
              Bytes({0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(ReadArchive, RoundTripsWhatWriteArchiveWrote) {
    const Package original = samplePackage();
    const Package read = readArchive(writeArchive(original));
    EXPECT_EQ(read.designationFlag, 1u);
    EXPECT_EQ(read.designatedIndex, 1);
    ASSERT_EQ(read.entries.size(), original.entries.size());
    for (std::size_t i = 0; i < read.entries.size(); ++i) {
        EXPECT_EQ(read.entries[i].name, original.entries[i].name);
        EXPECT_EQ(read.entries[i].data, original.entries[i].data);
    }
    EXPECT_EQ(designatedEntry(read), std::optional<std::size_t>(1));
}

TEST(ReadArchive, RefusesEveryTruncation) {
    const Bytes archive = writeArchive(samplePackage());
    for (std::size_t length = 0; length < archive.size(); ++length) {
        const Bytes cut(archive.begin(), archive.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_THROW(readArchive(cut), ToolError) << "length " << length;
    }
    expectRefused(Bytes(archive.begin(), archive.end() - 1), "entry 2's data");
    expectRefused(Bytes(archive.begin(), archive.begin() + 20), "3 entries need at least 24 bytes");
    expectRefused(Bytes(archive.begin(), archive.begin() + 3034), "entry 1's name length");
    expectRefused(Bytes(archive.begin(), archive.begin() + 9), "designation flag");
}

TEST(ReadArchive, RefusesMalformedHeaders) {
    Bytes archive = writeArchive(samplePackage());
    archive.push_back(0);
    expectRefused(archive, "1 bytes follow the last entry");

    expectRefused(toBytes("HEM"), "does not begin with \"HEN\"");
    expectRefused({'H', 'E', 'N', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0}, "negative");
    // A count that the data cannot hold is refused before anything is reserved.
    expectRefused({'H', 'E', 'N', 0xFF, 0xFF, 0xFF, 0x7F, 0, 0, 0, 0, 0, 0, 0, 0},
                  "2147483647 entries need");
    // A name length far beyond the data.
    expectRefused(
        {'H', 'E', 'N', 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0},
        "entry 0's name needs 4294967295 bytes");
}

TEST(DesignatedEntry, NamesOnlyAnExistingRecordWithTheFlagSet) {
    Package package = samplePackage();
    package.designatedIndex = 3;
    EXPECT_EQ(designatedEntry(package), std::nullopt);
    package.designatedIndex = -1;
    EXPECT_EQ(designatedEntry(package), std::nullopt);
    package.designatedIndex = 0;
    package.designationFlag = 0;
    EXPECT_EQ(designatedEntry(package), std::nullopt);
}

} // namespace
} // namespace vempack
