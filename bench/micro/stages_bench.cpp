// Timings of each stage of the payload pipeline, in the order a run goes
// through them, so that a change in the whole run (bench/run) can be laid at
// one stage's door:
//
//   ResourceToFile    the resource bytes written to the first temporary file
//   CompressedRead    the first temporary file read back into memory (the
//                     stub no longer does: it decodes from the resource)
//   Decode            the one-call decode, into a fresh output buffer as the
//                     stub does it, and into a buffer already touched (the
//                     difference is the cost of faulting the output in)
//   DecodeStreamed    what xz -dc does: the .lzma decoder into a small
//                     buffer, the output thrown away (the floor's decoding)
//   ArchiveWrite      the decoded archive written to the second temporary file
//   DecompressPayload the whole stage: decode, write, delete the first
//   ArchiveRead       the archive read back, entry by entry, nothing written
//                     (the stub no longer does: it keeps the decoded archive)
//   EntryWrites       the entries written as files, nothing read
//   UnpackPackage     the whole unpacking stage from the archive in memory
//   FileDelete        deleting a file as large as the archive
//
//   vemsetup_micro_bench --payload=PAYLOAD.lzma [--benchmark_...]
#include <benchmark/benchmark.h>
#include <lzma.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "bench_payload.h"
#include "payload/exact_io.h"
#include "payload/lzma_decoder.h"
#include "payload/lzma_stage.h"
#include "payload/package_archive.h"
#include "platform/platform.h"
#include "unpack_from_memory.h"

namespace {

BenchPayload gPayload;

std::string scratchPath(const char* name) {
    return gPayload.scratch + "/" + name;
}

const unsigned char* compressedData() {
    return gPayload.file.data() + kLzmaAloneHeaderSize;
}

size_t compressedSize() {
    return gPayload.file.size() - kLzmaAloneHeaderSize;
}

void setDecodedBytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(gPayload.archive.size()));
}

// The way writePayloadResource copies the resource: one plain write.
void BM_ResourceToFile(benchmark::State& state) {
    const std::string path = scratchPath("first.tmp");
    for (auto _ : state) {
        state.PauseTiming();
        remove(path.c_str());
        writeWholeFile(path, nullptr, 0); // reserved empty, as the name service does
        state.ResumeTiming();
        platform::FileHandle file = platform::createFileForWriting(path.c_str());
        uint32_t written = 0;
        platform::writeFile(file, gPayload.file.data(), static_cast<uint32_t>(gPayload.file.size()),
                            &written);
        platform::closeFile(file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(gPayload.file.size()));
}

// The way the decoding stage reads its input: size, header, then the rest.
void BM_CompressedRead(benchmark::State& state) {
    const std::string path = scratchPath("first.tmp");
    writeWholeFile(path, gPayload.file.data(), gPayload.file.size());
    for (auto _ : state) {
        platform::Stream stream = platform::openStream(path.c_str(), "rb");
        platform::seekStream(stream, 0, platform::kSeekEnd);
        const int64_t size = platform::tellStream(stream);
        platform::seekStream(stream, 0, platform::kSeekSet);
        unsigned char header[kLzmaAloneHeaderSize];
        readExact(stream, header, sizeof header);
        const size_t dataSize = static_cast<size_t>(size) - kLzmaAloneHeaderSize;
        void* data = platform::allocateMemory(dataSize + 1);
        readExact(stream, data, dataSize);
        platform::closeStream(stream);
        benchmark::DoNotOptimize(data);
        platform::freeMemory(data);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(gPayload.file.size()));
}

// state.range(0): 1 = a fresh output buffer per run, as the stub has it;
// 0 = one buffer, touched before the first run.
void BM_Decode(benchmark::State& state) {
    const bool fresh = state.range(0) != 0;
    const size_t outputSize = gPayload.archive.size();
    unsigned char* kept = nullptr;
    if (!fresh) {
        kept = static_cast<unsigned char*>(platform::allocateMemory(outputSize));
        memset(kept, 0, outputSize);
    }
    for (auto _ : state) {
        unsigned char* output =
            fresh ? static_cast<unsigned char*>(platform::allocateMemory(outputSize)) : kept;
        const size_t produced =
            decodeLzmaKnownSize(gPayload.properties, gPayload.header.dictionarySize,
                                compressedData(), compressedSize(), output, outputSize);
        if (produced != outputSize) {
            state.SkipWithError("decoding failed");
        }
        benchmark::DoNotOptimize(output);
        if (fresh) {
            platform::freeMemory(output);
        }
    }
    platform::freeMemory(kept);
    setDecodedBytes(state);
    state.SetLabel(fresh ? "fresh output buffer" : "output buffer already touched");
}

// xz -dc: the .lzma decoder fed the whole file, draining 8 KiB at a time.
void BM_DecodeStreamed(benchmark::State& state) {
    unsigned char buffer[8192];
    for (auto _ : state) {
        lzma_stream stream = LZMA_STREAM_INIT;
        if (lzma_alone_decoder(&stream, UINT64_MAX) != LZMA_OK) {
            state.SkipWithError("no decoder");
            break;
        }
        stream.next_in = gPayload.file.data();
        stream.avail_in = gPayload.file.size();
        lzma_ret status = LZMA_OK;
        size_t total = 0;
        while (status == LZMA_OK) {
            stream.next_out = buffer;
            stream.avail_out = sizeof buffer;
            status = lzma_code(&stream, LZMA_FINISH);
            total += sizeof buffer - stream.avail_out;
            benchmark::DoNotOptimize(buffer[0]);
        }
        lzma_end(&stream);
        if (status != LZMA_STREAM_END || total != gPayload.archive.size()) {
            state.SkipWithError("decoding failed");
        }
    }
    setDecodedBytes(state);
}

// The decoded archive into the (reserved, empty) second temporary file.
void BM_ArchiveWrite(benchmark::State& state) {
    const std::string path = scratchPath("second.tmp");
    for (auto _ : state) {
        state.PauseTiming();
        remove(path.c_str());
        writeWholeFile(path, nullptr, 0);
        state.ResumeTiming();
        platform::Stream stream = platform::openStream(path.c_str(), "wb+");
        platform::writeStream(gPayload.archive.data(), 1, gPayload.archive.size(), stream);
        platform::closeStream(stream);
    }
    setDecodedBytes(state);
}

void BM_DecompressPayload(benchmark::State& state) {
    const std::string first = scratchPath("first.tmp");
    const std::string second = scratchPath("second.tmp");
    for (auto _ : state) {
        state.PauseTiming();
        writeWholeFile(first, gPayload.file.data(), gPayload.file.size());
        remove(second.c_str());
        writeWholeFile(second, nullptr, 0);
        state.ResumeTiming();
        DecodedArchive archive =
            decompressPayload({gPayload.file.data(), static_cast<uint32_t>(gPayload.file.size())},
                              first.c_str(), second.c_str());
        releaseDecodedArchive(&archive);
    }
    setDecodedBytes(state);
}

// The reads of the unpacking stage without its writes: each entry's fields
// and data, into a block of its own, as the stage reads them.
void BM_ArchiveRead(benchmark::State& state) {
    const std::string path = scratchPath("archive.tmp");
    writeWholeFile(path, gPayload.archive.data(), gPayload.archive.size());
    for (auto _ : state) {
        platform::Stream stream = platform::openStream(path.c_str(), "rb+");
        unsigned char fields[15];
        readExact(stream, fields, sizeof fields);
        for (const BenchEntry& entry : gPayload.entries) {
            unsigned char length[4];
            char name[260];
            readExact(stream, length, sizeof length);
            readExact(stream, name, entry.name.size());
            readExact(stream, length, sizeof length);
            void* data = platform::allocateMemory(size_t{entry.size} + 1);
            readExact(stream, data, entry.size);
            benchmark::DoNotOptimize(data);
            platform::freeMemory(data);
        }
        platform::closeStream(stream);
    }
    setDecodedBytes(state);
}

// The writes of the unpacking stage without its reads: each entry into a
// new file of its own.
void BM_EntryWrites(benchmark::State& state) {
    const std::string directory = scratchPath("entries");
    mkdir(directory.c_str(), 0755);
    for (auto _ : state) {
        state.PauseTiming();
        emptyDirectory(directory);
        state.ResumeTiming();
        for (const BenchEntry& entry : gPayload.entries) {
            const std::string path = directory + "/" + entry.name;
            platform::FileHandle file = platform::createFileForWriting(path.c_str());
            writeFileExact(file, gPayload.archive.data() + entry.offset, entry.size);
            platform::closeFile(file);
        }
    }
    setDecodedBytes(state);
}

// The archive, whole in memory, to its file and its entries, as the stub
// unpacks once decoded. state.range(0): 1 = extract-and-launch mode (every
// entry), 0 = install mode (all but the designated one).
void BM_UnpackPackage(benchmark::State& state) {
    const bool extract = state.range(0) != 0;
    const std::string archive = scratchPath("second.tmp");
    const std::string directory = scratchPath("unpacked");
    mkdir(directory.c_str(), 0755);
    char launchPath[260];
    for (auto _ : state) {
        state.PauseTiming();
        emptyDirectory(directory);
        state.ResumeTiming();
        const ExitCode result = unpackFromMemory(
            archive.c_str(), gPayload.archive.data(), gPayload.archive.size(), directory.c_str(),
            extract ? UnpackMode::kExtractAndLaunch : UnpackMode::kInstall, launchPath);
        if (result != kExitSuccess) {
            state.SkipWithError("unpacking failed");
            break;
        }
    }
    setDecodedBytes(state);
    state.SetLabel(extract ? "extract-and-launch mode" : "install mode");
}

// What deleting either temporary file costs once it has been written.
void BM_FileDelete(benchmark::State& state) {
    const std::string path = scratchPath("doomed.tmp");
    for (auto _ : state) {
        state.PauseTiming();
        writeWholeFile(path, gPayload.archive.data(), gPayload.archive.size());
        state.ResumeTiming();
        platform::deleteFile(path.c_str());
    }
    setDecodedBytes(state);
}

// Every stage in pipeline order; the slow ones need few iterations.
void registerStages() {
    const auto common = [](benchmark::internal::Benchmark* b) {
        b->Unit(benchmark::kMillisecond)->UseRealTime()->MeasureProcessCPUTime();
    };
    common(benchmark::RegisterBenchmark("ResourceToFile", BM_ResourceToFile));
    common(benchmark::RegisterBenchmark("CompressedRead", BM_CompressedRead));
    common(benchmark::RegisterBenchmark("Decode", BM_Decode)->ArgName("fresh")->Arg(1)->Arg(0));
    common(benchmark::RegisterBenchmark("DecodeStreamed", BM_DecodeStreamed));
    common(benchmark::RegisterBenchmark("ArchiveWrite", BM_ArchiveWrite));
    common(benchmark::RegisterBenchmark("DecompressPayload", BM_DecompressPayload));
    common(benchmark::RegisterBenchmark("ArchiveRead", BM_ArchiveRead));
    common(benchmark::RegisterBenchmark("EntryWrites", BM_EntryWrites));
    common(benchmark::RegisterBenchmark("UnpackPackage", BM_UnpackPackage)
               ->ArgName("extract")
               ->Arg(1)
               ->Arg(0));
    common(benchmark::RegisterBenchmark("FileDelete", BM_FileDelete));
}

} // namespace

int main(int argc, char** argv) {
    // --payload=FILE is ours; everything else goes to Google Benchmark.
    const char* payloadPath = getenv("VEMSETUP_BENCH_PAYLOAD");
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (strncmp(argv[i], "--payload=", 10) == 0) {
            payloadPath = argv[i] + 10;
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    if (payloadPath == nullptr || payloadPath[0] == '\0') {
        fprintf(stderr, "usage: %s --payload=PAYLOAD.lzma [--benchmark_...]\n", argv[0]);
        return 2;
    }
    if (!loadBenchPayload(payloadPath, &gPayload)) {
        return 1;
    }
    benchmark::AddCustomContext("payload", payloadPath);
    benchmark::AddCustomContext("decoded_bytes", std::to_string(gPayload.archive.size()));
    benchmark::AddCustomContext("compressed_bytes", std::to_string(gPayload.file.size()));
    registerStages();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    releaseBenchPayload(&gPayload);
    return 0;
}
