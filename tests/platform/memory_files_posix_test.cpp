// Large payload blocks on their own aligned mappings, writes that give a
// block's memory back as they go, and the rewriting of files that are
// already empty without truncating them.
#include "platform/posix/posix_impl.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scoped_environment.h"

namespace {

constexpr size_t kMiB = size_t{1} << 20;

bool alignedToHugePage(const void* block) {
    return reinterpret_cast<uintptr_t>(block) % (2 * kMiB) == 0;
}

void fill(void* block, size_t size, unsigned char seed) {
    unsigned char* bytes = static_cast<unsigned char*>(block);
    for (size_t i = 0; i < size; i += 4093) {
        bytes[i] = static_cast<unsigned char>(seed + i);
    }
    bytes[size - 1] = static_cast<unsigned char>(seed + size - 1);
}

bool filled(const void* block, size_t size, unsigned char seed) {
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < size; i += 4093) {
        if (bytes[i] != static_cast<unsigned char>(seed + i)) {
            return false;
        }
    }
    return true;
}

TEST(PosixMemory, LargeBlocksAreAlignedAndKeepTheirBytesWhenResized) {
    void* small = posix::allocateMemory(100);
    ASSERT_NE(small, nullptr);
    fill(small, 100, 1);
    // From the heap onto a mapping, then grown and shrunk as a mapping.
    void* block = posix::reallocateMemory(small, 3 * kMiB);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(alignedToHugePage(block));
    EXPECT_TRUE(filled(block, 100, 1));
    fill(block, 3 * kMiB, 2);
    void* blocker = posix::allocateMemory(2 * kMiB); // may sit right after it
    ASSERT_NE(blocker, nullptr);
    block = posix::reallocateMemory(block, 9 * kMiB + 5);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(alignedToHugePage(block));
    EXPECT_TRUE(filled(block, 3 * kMiB, 2));
    fill(block, 9 * kMiB + 5, 3);
    block = posix::reallocateMemory(block, 1000);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(filled(block, 1000, 3));
    posix::freeMemory(block);
    posix::freeMemory(blocker);
    posix::freeMemory(nullptr);
    EXPECT_EQ(posix::allocateMemory(SIZE_MAX - 100), nullptr);
}

size_t residentBytes(const void* block, size_t size) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> states((size + page - 1) / page);
    if (mincore(const_cast<void*>(block), size, states.data()) != 0) {
        return SIZE_MAX;
    }
    size_t count = 0;
    for (const unsigned char state : states) {
        count += state & 1;
    }
    return count * page;
}

TEST(PosixMemory, PagesFaultInOnlyAheadOfTheFillingThread) {
    // A helper faults a large block's pages in; it must never change a
    // byte, and never run far ahead of the thread that fills the block, or
    // a header that claims 4 GiB would make them all resident.
    const size_t size = 64 * kMiB;
    unsigned char* block = static_cast<unsigned char*>(posix::allocateMemory(size));
    ASSERT_NE(block, nullptr);
    block[0] = 1;
    usleep(200 * 1000);
    EXPECT_LT(residentBytes(block, size), 24 * kMiB);
    for (size_t i = 0; i < size; ++i) {
        block[i] = static_cast<unsigned char>(i % 251);
    }
    size_t wrong = 0;
    for (size_t i = 0; i < size; ++i) {
        wrong += block[i] != static_cast<unsigned char>(i % 251);
    }
    EXPECT_EQ(wrong, 0u);
    posix::freeMemory(block);
}

class PosixRewrite : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(root_.valid()); }

    // Creates the file with `content` and dates it an hour back.
    std::string agedFile(const char* name, const std::string& content) {
        const std::string path = root_.path() + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        struct timeval past[2];
        gettimeofday(&past[0], nullptr);
        past[0].tv_sec -= 3600;
        past[1] = past[0];
        EXPECT_EQ(utimes(path.c_str(), past), 0);
        return path;
    }

    static bool modifiedRecently(const std::string& path) {
        struct stat status;
        return stat(path.c_str(), &status) == 0 && status.st_mtime > time(nullptr) - 600;
    }

    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    platform_test::TemporaryDirectory root_;
};

TEST_F(PosixRewrite, EmptyFilesAreNotTruncatedOthersAre) {
    // Truncating, even to the same empty size, would date the file now.
    const std::string empty = agedFile("empty.tmp", "");
    platform::Stream stream = posix::openStream(empty.c_str(), "wb+");
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(posix::closeStream(stream));
    EXPECT_FALSE(modifiedRecently(empty));
    platform::FileHandle file = posix::createFileForWriting(empty.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(posix::closeFile(file));
    EXPECT_FALSE(modifiedRecently(empty));

    const std::string full = agedFile("full.tmp", "old contents");
    stream = posix::openStream(full.c_str(), "wb+");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(posix::writeStream("new", 1, 3, stream), 3u);
    ASSERT_TRUE(posix::seekStream(stream, 0, platform::kSeekSet));
    char back[4] = {};
    EXPECT_EQ(posix::readStream(back, 1, 3, stream), 3u) << "opened for reading too";
    EXPECT_STREQ(back, "new");
    EXPECT_TRUE(posix::closeStream(stream));
    EXPECT_EQ(contents(full), "new");

    const std::string other = agedFile("other.tmp", "old contents");
    file = posix::createFileForWriting(other.c_str());
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(posix::closeFile(file));
    EXPECT_EQ(contents(other), "");

    const std::string fresh = root_.path() + "/fresh.tmp";
    stream = posix::openStream(fresh.c_str(), "wb+");
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(posix::closeStream(stream));
    EXPECT_EQ(contents(fresh), "");
    EXPECT_EQ(posix::openStream(root_.path().c_str(), "wb+"), nullptr) << "a directory";
}

TEST_F(PosixRewrite, DiscardingWritesWriteEveryByteFirst) {
    // Slices of 4 MiB: a mapped block of several slices and a ragged end,
    // then a heap block. Each is written whole although its pages go.
    for (const size_t size : {9 * kMiB + 4097, size_t{5000}}) {
        unsigned char* block = static_cast<unsigned char*>(posix::allocateMemory(size));
        ASSERT_NE(block, nullptr);
        std::string expected(size, '\0');
        for (size_t i = 0; i < size; ++i) {
            expected[i] =
                static_cast<char>(block[i] = static_cast<unsigned char>(i * 7 + i / 4096));
        }
        const std::string path = root_.path() + "/discarded.tmp";
        platform::Stream stream = posix::openStream(path.c_str(), "wb+");
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(posix::writeStreamDiscarding(block, size, stream), size);
        EXPECT_TRUE(posix::closeStream(stream));
        posix::freeMemory(block);
        EXPECT_TRUE(contents(path) == expected) << size << " bytes";
    }
}

} // namespace
