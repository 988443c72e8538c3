// The platform the fuzzers run the logic on: the POSIX stand-in, with three
// changes. The heap refuses blocks above kFuzzHeapLimit, as the heap of a
// 32-bit process refuses what its address space cannot hold: a header that
// claims more ends in the refusal path instead of making the fuzzer report
// the claim itself. Every operation that creates, writes or deletes
// something is checked against the places the running target allowed:
// anything else aborts the run before it happens, which libFuzzer reports
// as a finding. And the pauses between tries of a busy file take no time:
// nothing else holds the fuzzers' files, so a try after a pause fails as
// the first one did.
#pragma once

#include <stddef.h>

#include <string>

namespace fuzzplatform {

// An input is a few KiB (libFuzzer's default -max_len is 4096), so blocks
// of the size it claims or fills add no coverage beyond 256 KiB: every path
// of the decoders (a stated size filled, an output grown from 64 KiB by
// doubling, twice, a refused block) is reached below it, and each larger
// block would only cost time to map, poison, clear and decode into.
constexpr size_t kFuzzHeapLimit = size_t{256} << 10;

// Host paths (absolute, no symbolic links) that the logic may write from
// now on: everything strictly inside `directory`, or exactly `file`. A
// target names its places once; its own scratch files do not go through
// the platform.
void allowWritesInside(const std::string& directory);
void allowWritesTo(const std::string& file);

} // namespace fuzzplatform
