// Runs one stage of the payload pipeline alone in this process, so that the
// process's peak resident memory (measured from outside by bench/run) is
// that stage's:
//
//   vemsetup_stage_run decode FIRST SECOND     the decoding stage: FIRST (a
//                                              copy of the payload) into
//                                              SECOND, FIRST deleted
//   vemsetup_stage_run unpack ARCHIVE DIR      the unpacking stage, extract-
//                                              and-launch mode
//   vemsetup_stage_run idle                    nothing: the baseline
//
// The exit status is 0, or the stage's exit code when it failed.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "payload/lzma_stage.h"
#include "unpack_from_memory.h"

namespace {

std::vector<unsigned char> readWhole(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && strcmp(argv[1], "idle") == 0) {
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "decode") == 0) {
        const std::vector<unsigned char> payload = readWhole(argv[2]);
        DecodedArchive archive = decompressPayload(
            {payload.data(), static_cast<uint32_t>(payload.size())}, argv[2], argv[3]);
        releaseDecodedArchive(&archive);
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "unpack") == 0) {
        char launchPath[260];
        std::vector<unsigned char> archive = readWhole(argv[2]);
        const ExitCode result = unpackFromMemory(argv[2], archive.data(), archive.size(), argv[3],
                                                 UnpackMode::kExtractAndLaunch, launchPath);
        return result == kExitSuccess ? 0 : static_cast<int>(result);
    }
    fprintf(stderr, "usage: vemsetup_stage_run decode FIRST SECOND | unpack ARCHIVE DIR | idle\n");
    return 2;
}
