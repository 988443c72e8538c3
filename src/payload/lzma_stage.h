// The compressed payload stage: the first temporary file is decoded into the
// second, then deleted.
#pragma once

// Never fails by itself: whatever cannot be decoded leaves the second file
// empty, and the archive step then finds no magic.
void decompressPayload(const char* firstTempFile, const char* secondTempFile);
