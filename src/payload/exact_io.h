// Whole-count reads and writes on buffered streams and file handles: a
// short count is a failure, never a partial success.
#pragma once

#include <stddef.h>

#include "platform/platform.h"

// Reads `count` bytes; true only when all of them arrived.
bool readExact(platform::Stream stream, void* buffer, size_t count);

// Writes `count` bytes; true only when all of them were taken.
bool writeExact(platform::Stream stream, const void* buffer, size_t count);

// Writes `count` bytes to an open file; true only when all of them were
// taken.
bool writeFileExact(platform::FileHandle file, const void* buffer, size_t count);

// writeFileExact, then closes the file: true only when both succeeded.
bool writeAndClose(platform::FileHandle file, const void* buffer, size_t count);
