#include <gtest/gtest.h>

#include <random>

#include "common/little_endian.h"
#include "fake_platform.h"
#include "format/lzma_alone_header.h"
#include "payload/lzma_stage.h"
#include "payloads.h"

namespace {

// Content with matches both near and 200 KB back, so that a dictionary
// smaller than that cannot decode it.
Bytes sampleContent() {
    std::mt19937 random(7);
    Bytes block(200000);
    for (unsigned char& byte : block) {
        byte = static_cast<unsigned char>(random() % 16);
    }
    const std::string text = "HEN and some text that repeats, repeats, repeats.";
    Bytes content;
    content.reserve(2 * block.size() + text.size());
    for (int copy = 0; copy < 2; ++copy) {
        for (unsigned char byte : block) {
            content.push_back(byte);
        }
    }
    for (char c : text) {
        content.push_back(static_cast<unsigned char>(c));
    }
    return content;
}

class LzmaStageTest : public testing::Test {
  protected:
    void SetUp() override { fake::reset(); }

    // Runs the stage on `first` and returns what the second file holds.
    Bytes decode(const Bytes& first) {
        writeBytes(firstPath(), first);
        writeBytes(secondPath(), {});
        const platform::ResourceBytes payload = {first.data(), static_cast<uint32_t>(first.size())};
        DecodedArchive archive =
            decompressPayload(payload, firstPath().c_str(), secondPath().c_str());
        EXPECT_FALSE(fileExists(firstPath())) << "the first temporary file must be deleted";
        const Bytes second = readBytes(secondPath());
        // What is kept for the unpacking is what the file holds.
        EXPECT_EQ(Bytes(archive.bytes, archive.bytes + archive.size), second);
        releaseDecodedArchive(&archive);
        return second;
    }
    std::string firstPath() const { return dir / "vem1.tmp"; }
    std::string secondPath() const { return dir / "vem2.tmp"; }

    ScopedTempDir dir;
    const Bytes content = sampleContent();
};

TEST_F(LzmaStageTest, DecodesBothStreamKinds) {
    EXPECT_EQ(decode(makeLzma(content, EndMarker::kNone)), content);
    EXPECT_EQ(decode(makeLzma(content, EndMarker::kPresent)), content);
}

TEST_F(LzmaStageTest, DecodesStreamOfUnknownSizeWithEndMarker) {
    EXPECT_EQ(decode(makeLzma(content, EndMarker::kPresentNoSize)), content);
}

TEST_F(LzmaStageTest, IgnoresBytesAfterAFullOutputBuffer) {
    for (EndMarker marker : {EndMarker::kNone, EndMarker::kPresent}) {
        Bytes stream = makeLzma(content, marker);
        stream.insert(stream.end(), 1000, 0xA5);
        EXPECT_EQ(decode(stream), content);
    }
}

TEST_F(LzmaStageTest, StopsWhenTheStatedSizeIsReached) {
    Bytes stream = makeLzma(content, EndMarker::kNone);
    writeLe32(&stream[kLzmaUncompressedSizeOffset], 100);
    EXPECT_EQ(decode(stream), Bytes(content.begin(), content.begin() + 100));
}

TEST_F(LzmaStageTest, DictionarySizeFieldHasNoEffect) {
    for (uint32_t dictionary : {0u, 4096u, 0xFFFFFFFFu}) {
        Bytes stream = makeLzma(content, EndMarker::kNone);
        writeLe32(&stream[kLzmaDictionarySizeOffset], dictionary);
        EXPECT_EQ(decode(stream), content) << "dictionary " << dictionary;
    }
}

TEST_F(LzmaStageTest, DictionaryFieldOfAStreamWithoutSizeChangesNeitherOutputNorMemory) {
    for (uint32_t dictionary : {0u, 4096u, 0xFFFFFFFFu}) {
        Bytes stream = makeLzma(content, EndMarker::kPresentNoSize);
        writeLe32(&stream[kLzmaDictionarySizeOffset], dictionary);
        fake::reset();
        EXPECT_EQ(decode(stream), content) << "dictionary " << dictionary;
        // The output grows to 512 KiB; no block comes near the field's 4 GiB.
        EXPECT_LE(fake::largestAllocation(), size_t{1} << 19) << "dictionary " << dictionary;
    }
}

TEST_F(LzmaStageTest, FailedDecodesLeaveTheSecondFileEmpty) {
    const Bytes good = makeLzma(content, EndMarker::kNone);

    Bytes zeroSize = good;
    writeLe32(&zeroSize[kLzmaUncompressedSizeOffset], 0);
    EXPECT_TRUE(decode(zeroSize).empty()) << "size 0";

    const Bytes half(good.begin(), good.begin() + kLzmaAloneHeaderSize +
                                       (good.size() - kLzmaAloneHeaderSize) / 2);
    EXPECT_TRUE(decode(half).empty()) << "cut to half";

    Bytes badProperties = good;
    badProperties[0] = 225;
    EXPECT_TRUE(decode(badProperties).empty()) << "properties byte 225";

    EXPECT_TRUE(decode(Bytes(good.begin(), good.begin() + kLzmaAloneHeaderSize - 1)).empty())
        << "no whole header";
    EXPECT_TRUE(decode({}).empty()) << "empty file";

    Bytes corrupt = good;
    for (size_t i = kLzmaAloneHeaderSize; i < corrupt.size(); i += 7) {
        corrupt[i] ^= 0x5A;
    }
    EXPECT_TRUE(decode(corrupt).empty()) << "corrupt data";
}

TEST_F(LzmaStageTest, OutputThatCannotBeAllocatedDecodesToNothing) {
    Bytes stream = makeLzma(content, EndMarker::kNone);
    // Close to 4 GiB: either refused by the heap or, where overcommitted,
    // never filled because the data runs out.
    writeLe32(&stream[kLzmaUncompressedSizeOffset], 0xF0FFFFFFu);
    EXPECT_TRUE(decode(stream).empty());

    // The first allocation of the stage is the output buffer: the payload is
    // decoded where it lies.
    fake::failCall("allocateMemory", 1);
    EXPECT_TRUE(decode(makeLzma(content, EndMarker::kNone)).empty());
}

TEST_F(LzmaStageTest, ShortWriteOfTheArchiveLeavesItEmpty) {
    for (const char* failing : {"createFileForWriting", "writeFile", "closeFile"}) {
        fake::reset();
        fake::failCall(failing);
        EXPECT_TRUE(decode(makeLzma(content, EndMarker::kNone)).empty()) << failing;
    }
}

TEST_F(LzmaStageTest, NoPayloadLeavesSecondEmpty) {
    writeBytes(secondPath(), {});
    const DecodedArchive archive =
        decompressPayload({nullptr, 0}, firstPath().c_str(), secondPath().c_str());
    EXPECT_EQ(archive.bytes, nullptr);
    EXPECT_TRUE(readBytes(secondPath()).empty());
}

// Found by fuzzing: the data is damaged right after the fourth byte, and
// the header states four bytes. liblzma reports the damage in the very call
// that fills the four-byte buffer; data past the stated size does not
// count, so the four bytes are the whole result.
TEST_F(LzmaStageTest, DamageAfterTheStatedSizeIsIgnored) {
    const Bytes stream =
        readBytes(std::string(VEMSETUP_CORPUS) + "/lzma_stage/bad-9-damage-after-stated-size.lzma");
    EXPECT_EQ(decode(stream), Bytes({0xba, 0x00, 0x25, 0x52}));
}

} // namespace
