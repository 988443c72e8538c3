// The package archive, as the stub reads it and the packer writes it: the
// magic "HEN", then entryCount, designationFlag and designatedIndex, then
// one record per entry (nameLength, the name, dataSize, the data). Every
// integer is 32-bit little-endian.
#pragma once

#include <stddef.h>

constexpr unsigned char kPackageMagic[3] = {'H', 'E', 'N'};
constexpr size_t kPackageHeaderSize = 15;

// A record's two length fields, around the name.
constexpr size_t kRecordFieldsSize = 8;

// The stub reads a name into a buffer of this size and uses it as a
// zero-terminated text, so a name has at most 259 bytes.
constexpr size_t kEntryNameBufferSize = 260;
