// Payload blocks that keep their bytes when resized, and the rewriting of
// files that are already empty without truncating them.
#include "platform/posix/posix_impl.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

#include "scoped_environment.h"

namespace {

constexpr size_t kMiB = size_t{1} << 20;

void fill(void* block, size_t size, unsigned char seed) {
    unsigned char* bytes = static_cast<unsigned char*>(block);
    for (size_t i = 0; i < size; i += 509) {
        bytes[i] = static_cast<unsigned char>(seed + i);
    }
    bytes[size - 1] = static_cast<unsigned char>(seed + size - 1);
}

bool filled(const void* block, size_t size, unsigned char seed) {
    const unsigned char* bytes = static_cast<const unsigned char*>(block);
    for (size_t i = 0; i < size; i += 509) {
        if (bytes[i] != static_cast<unsigned char>(seed + i)) {
            return false;
        }
    }
    return true;
}

TEST(PosixMemory, BlocksKeepTheirBytesWhenResizedAndImpossibleSizesFail) {
    // A grown block keeps what it held, up to a size the heap maps on its
    // own, and a shrunk one keeps its front.
    void* block = posix::allocateMemory(100);
    ASSERT_NE(block, nullptr);
    fill(block, 100, 1);
    void* neighbour = posix::allocateMemory(100); // may sit right after it
    ASSERT_NE(neighbour, nullptr);
    block = posix::reallocateMemory(block, 9 * kMiB + 5);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(filled(block, 100, 1));
    fill(block, 9 * kMiB + 5, 2);
    block = posix::reallocateMemory(block, 1000);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(filled(block, 1000, 2));
    posix::freeMemory(block);
    posix::freeMemory(neighbour);
    posix::freeMemory(nullptr);

    // A request for nothing still gets a block of its own, as from
    // HeapAlloc, and one beyond any address space gets none.
    void* empty = posix::allocateMemory(0);
    void* other = posix::allocateMemory(0);
    ASSERT_NE(empty, nullptr);
    EXPECT_NE(empty, other);
    posix::freeMemory(empty);
    posix::freeMemory(other);
    EXPECT_EQ(posix::allocateMemory(SIZE_MAX - 100), nullptr);
    void* small = posix::allocateMemory(16);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(posix::reallocateMemory(small, SIZE_MAX - 100), nullptr);
    posix::freeMemory(small); // still ours after the failed resize
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

} // namespace
