#pragma once

#include <stddef.h>

#include "platform/platform.h"

// Reads `count` bytes; true only when all of them arrived.
bool readExact(platform::Stream stream, void* buffer, size_t count);
