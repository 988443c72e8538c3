// The packer's commands; each returns the exit status or throws ToolError.
#pragma once

#include "archive.h"
#include "code_page.h"
#include "lzma_codec.h"
#include "options.h"
#include "output_file.h"
#include "progress.h"

#include <string>

namespace vempack {

int runCreate(const CommandLine& line);
int runArchive(const CommandLine& line);
int runCompress(const CommandLine& line);
int runList(const CommandLine& line);
int runExtract(const CommandLine& line);
int runBuild(const CommandLine& line);
int runWinget(const CommandLine& line);

// The files packed as the command line says, designation included,
// `output` left out of the inputs.
Package buildPackage(const CommandLine& line, const OutputFile* output = nullptr);

// What the summary line says of a package packed into `bytesOut` bytes.
PackSummary summarize(const Package& package, std::uint64_t bytesIn, std::uint64_t bytesOut,
                      const CodePage& codePage);

// Compresses as create does, with progress on a terminal.
Bytes compressShowingProgress(const Bytes& data, const LzmaSettings& settings);

// `package` packed and compressed as the command line says: its entries
// ordered for the dictionary unless --keep-order (entry_order.h); what was
// packed goes to `summary`.
Bytes compressPackage(Package& package, const CommandLine& line, PackSummary* summary);

// The compressed payload that create writes: the files packed and
// compressed as the command line says, `output` left out of the inputs;
// what was packed goes to `summary`.
Bytes createPayload(const CommandLine& line, const OutputFile* output = nullptr,
                    PackSummary* summary = nullptr);

// The compressed payload in a setup executable (its "PACKAGE" 105 resource)
// or in a .lzma file, told apart by the executable's "MZ".
Bytes payloadBytes(const Bytes& file);

// Decodes the .lzma file at `path` and parses its archive, warning on stderr
// about what the stub would tolerate but the packer never writes.
Package readPayloadFile(const std::string& path);

// The same for `file`, the contents of `path` read already.
Package readPayload(const Bytes& file, const std::string& path);

// Prints "vempack: warning: MESSAGE" on stderr.
void warn(const std::string& message);

// Prints "vempack: MESSAGE" on stderr: something the user should know that
// is neither wrong nor doubtful.
void notice(const std::string& message);

} // namespace vempack
