// A platform for tests: linking it replaces every entry of the table of
// operations with one that logs the call and forwards it to the POSIX
// stand-in, unless the test asked for it to fail. The log lets tests check
// what happened and in which order.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace fake {

// Back to plain forwarding, no failures, empty log, no resource; every
// table entry is the fake's again.
void reset();

// The nth call (counting from 1 after this request) of `operation` fails;
// with `always`, that call and every later one. getLastError then reports
// `lastError`, until another operation is called; without one it reports
// ERROR_GEN_FAILURE (31), never an error left over from the stand-in.
void failCall(const std::string& operation, int nth = 1, bool always = false,
              uint32_t lastError = 0);

// `count` calls of `operation` fail, from the nth on, as failCall.
void failCalls(const std::string& operation, int nth, int count, uint32_t lastError);

// The ANSI code page to imitate (932, 936, 949, 950 are double-byte ones);
// reset() goes back to the stand-in's own choice.
void setAnsiCodePage(unsigned codePage);

// The largest block asked of allocateMemory or reallocateMemory since reset().
size_t largestAllocation();

// The next writeFile succeeds but takes at most `bytes`, as on a disk that
// fills up.
void shortenNextWrite(uint32_t bytes);

// Opening a key for writing under this root fails, as for a user without
// rights there.
void denyRegistryWrites(bool machine, bool user);

// The bytes that loadResource("PACKAGE", 105) returns.
void setResource(std::vector<unsigned char> bytes);

// The bytes that loadResource("PRODUCT", 106) returns: a product
// description (none until this is called).
void setDescription(std::vector<unsigned char> bytes);

// Runs `hook` before the nth call (from now) of `operation`, to look at the
// state of things at that moment.
void onCall(const std::string& operation, int nth, std::function<void()> hook);

// Really start processes (off by default: launches are only logged).
void allowProcessStart(bool allow);

// Every call made, by operation name; some carry a detail after a colon
// ("createProcess:/path", "commandLine:\"/path\"", "shellExecute:/path",
// "createFileForWriting:/path",
// "regSetValue:DisplayName", "sleepMilliseconds:500", "setErrorMode:32769").
const std::vector<std::string>& calls();
int countCalls(const std::string& operation);
std::vector<std::string> callsWithDetail(const std::string& operation);

} // namespace fake
