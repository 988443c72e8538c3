// The regression corpus (fuzz/corpus, also the fuzzers' seeds): every
// package archive and every .lzma payload there is run through the stub's
// main sequence in extract-and-launch mode and in install mode. A file's
// name carries its verdict: "good-..." ends both runs with exit code 1,
// "bad-N-..." with exit code N. Whatever the verdict, nothing may land
// outside the destination, and no run may take much memory, however large
// the sizes that the file claims.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <regex>

#include "payloads.h"
#include "process.h"
#include "temp_dir.h"

namespace {

// Far below any size a corpus file claims, far above what a run needs (a
// few MiB). AddressSanitizer writes the shadow of every block it hands out,
// so there a claimed block that is never touched costs an eighth of its
// size: the native build measures, the sanitized one does not.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kPeakLimitKiB = 0;
#else
constexpr long kPeakLimitKiB = 32 * 1024;
#endif

struct CorpusFile {
    std::string folder; // package_archive or lzma_stage
    std::string name;
    int expected; // -1: the name carries no verdict
};

void PrintTo(const CorpusFile& file, std::ostream* out) {
    *out << file.folder << "/" << file.name;
}

int verdict(const std::string& name) {
    std::smatch match;
    if (name.rfind("good-", 0) == 0) {
        return 1;
    }
    return std::regex_match(name, match, std::regex("bad-([0-9]+)-.+")) ? std::stoi(match[1]) : -1;
}

std::vector<CorpusFile> corpusFiles() {
    std::vector<CorpusFile> files;
    for (const char* folder : {"package_archive", "lzma_stage"}) {
        for (const std::string& name : listDirectory(std::string(VEMSETUP_CORPUS) + "/" + folder)) {
            files.push_back({folder, name, verdict(name)});
        }
    }
    return files;
}

// Paths (relative to a run's root) that a run may leave: the temporary
// directory's own "vem" files and the work directory with what lies below
// it (extract mode); what lies below the target (install mode); the
// registry stores, start menu and desktop.
bool mayExist(const std::string& path) {
    std::vector<std::string> levels;
    for (size_t start = 0; start < path.size();) {
        const size_t slash = path.find('/', start);
        levels.push_back(path.substr(start, slash - start));
        start = slash == std::string::npos ? path.size() : slash + 1;
    }
    const size_t depth = levels.size();
    if (levels[0] == "data" || levels[0] == "Desktop") {
        return true;
    }
    // Entries may sit in folders of their own below the destination.
    if (levels[0] == "temp") {
        return depth == 1 || levels[1].rfind("vem", 0) == 0;
    }
    if (levels[0] == "home") {
        return depth == 1 || levels[1] == "apps";
    }
    return false;
}

class CorpusTest : public testing::TestWithParam<CorpusFile> {};

TEST_P(CorpusTest, EndsWithItsVerdictAndWritesOnlyInsideTheDestination) {
    const CorpusFile& file = GetParam();
    ASSERT_NE(file.expected, -1) << file.name << ": name it good-... or bad-CODE-...";
    const Bytes bytes =
        readBytes(std::string(VEMSETUP_CORPUS) + "/" + file.folder + "/" + file.name);
    ScopedTempDir dir("vemcorpus");
    const std::string payload = dir / "payload.lzma";
    writeBytes(payload, file.folder == "package_archive" ? makeLzma(bytes) : bytes);

    for (const bool install : {false, true}) {
        const std::string mode = install ? "install" : "extract";
        const std::string root = dir / mode;
        makeDirectory(root);
        makeDirectory(root + "/home");
        const std::vector<std::string> env = runEnvironment(root);
        const std::string tail = install ? "\"" + root + "/home/apps\"" : "";
        const ProcessResult result = runProcess({CORPUS_RUNNER, payload, tail}, &env,
                                                dir / "runner.log", dir / "runner.log");
        EXPECT_EQ(result.exitCode, file.expected) << mode;
        if (kPeakLimitKiB != 0) {
            EXPECT_LT(result.peakKiB, kPeakLimitKiB) << mode;
        }
        for (const std::string& path : listTree(root)) {
            EXPECT_TRUE(mayExist(path)) << mode << ": " << path << " is outside the destination";
        }
    }
    // Where the drive-qualified names of the corpus point on the host.
    EXPECT_FALSE(fileExists("/tmp/vemfuzz-evil.txt"));
}

std::string testName(const testing::TestParamInfo<CorpusFile>& info) {
    std::string name = info.param.folder + "_" + info.param.name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !isalnum(static_cast<unsigned char>(c)); },
        '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusTest, testing::ValuesIn(corpusFiles()), testName);

} // namespace
