// The platform the fuzzers run the logic on: the POSIX stand-in, with two
// changes. The heap refuses blocks above kFuzzHeapLimit, as the heap of a
// 32-bit process refuses what its address space cannot hold, so that a
// header claiming gigabytes ends in the refusal path instead of making the
// fuzzer report the claim itself. And every operation that creates, writes
// or deletes something is checked against the places the running target
// allowed: anything else aborts the run before it happens, which libFuzzer
// reports as a finding.
#pragma once

#include <stddef.h>

#include <string>

namespace fuzzplatform {

constexpr size_t kFuzzHeapLimit = size_t{32} << 20;

// Host paths (absolute, no symbolic links) that may be written from now on:
// everything strictly inside `directory`, or exactly `file`.
void allowWritesInside(const std::string& directory);
void allowWritesTo(const std::string& file);

// Nothing may be written any more.
void forbidAllWrites();

} // namespace fuzzplatform
