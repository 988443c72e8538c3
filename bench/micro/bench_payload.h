// A benchmark payload held in memory: the .lzma file, its decoded package
// archive and where each entry's data lies, plus a scratch directory for the
// files the stages write.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "format/lzma_alone_header.h"

struct BenchEntry {
    std::string name;
    size_t offset; // of the data within the archive
    uint32_t size;
};

struct BenchPayload {
    std::vector<unsigned char> file; // the whole .lzma file, header included
    LzmaAloneHeader header;
    LzmaProperties properties;
    std::vector<unsigned char> archive; // decoded
    std::vector<BenchEntry> entries;
    std::string scratch; // a fresh directory, removed by releaseBenchPayload
};

// Reads, decodes and indexes the payload at `path`; false (with a message on
// stderr) when it is not a well-formed known-size payload.
bool loadBenchPayload(const char* path, BenchPayload* payload);
void releaseBenchPayload(BenchPayload* payload);

// Writes `size` bytes to `path` in one go (replacing it); aborts on failure,
// since every later figure would be meaningless.
void writeWholeFile(const std::string& path, const unsigned char* data, size_t size);
// Removes every file in `directory`, which stays.
void emptyDirectory(const std::string& directory);
