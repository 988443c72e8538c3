// Takes the compressed payload out of the executable into temporary files
// and reserves the names the payload pipeline works with.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

constexpr const char* kTempPrefix = "vem";
constexpr const char* kPayloadResourceType = "PACKAGE";
constexpr uint16_t kPayloadResourceId = 105;

// The user's temporary directory, with its trailing backslash, into a
// 260-byte buffer. False when the platform has none (exit code 4).
bool getTempDirectory(char* directory);

// Reserves a unique "vem" name in `directory`; the platform creates the
// empty file at once. False when no name can be had (exit code 5).
bool makeTempFileName(const char* directory, char* name);

// Copies the payload resource unchanged into the file at `path`. False only
// when the file cannot be created (exit code 7). `payload` receives the
// resource's bytes, as many as reached the file, for the decoder to read
// where they lie; platform::releaseResource gives their pages back.
bool writePayloadResource(const char* path, platform::ResourceBytes* payload);

// Reserves a fresh name and turns it into a directory; a name that someone
// else takes between the delete and the create is given up for a new one,
// a few times. False when no name can be had (exit code 5).
// `directoryCreated` tells whether this run made the directory: when it did
// not, the caller must not unpack into it.
bool createWorkDirectory(const char* directory, char* workDirectory, bool* directoryCreated);
