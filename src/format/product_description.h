// The product description a setup may carry as its resource "PRODUCT" 106:
// the names a described setup registers instead of the built-in ones. The
// packer writes it, the stub reads it before anything is written. Layout,
// every integer little-endian:
//
//   "VEMP", version (16 bits, 1), flags (16 bits), estimated size in KiB
//   (32 bits), then seven texts, each a 16-bit length and that many bytes
//   without a terminator: product, id, publisher, version, program,
//   document extension, document ProgID.
//
// Nothing may follow the last text. Texts are in the setup's ANSI code page.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "common/character_walk.h"

constexpr const char* kDescriptionResourceType = "PRODUCT";
constexpr uint16_t kDescriptionResourceId = 106;
constexpr unsigned char kDescriptionMagic[4] = {'V', 'E', 'M', 'P'};
constexpr uint16_t kDescriptionVersion = 1;

// Flags.
constexpr uint16_t kDescriptionSuccessCodeOne = 0x0001; // success is exit code 1, not 0
constexpr uint16_t kDescriptionKnownFlags = kDescriptionSuccessCodeOne;

constexpr size_t kDescriptionFixedSize = 12;
constexpr size_t kDescriptionTextCount = 7;
// Names, ids and the publisher stay short enough for every path and key
// made from them; the program is an entry name.
constexpr size_t kMaxProductNameLength = 100;
constexpr size_t kMaxProgIdLength = 100;
constexpr size_t kMaxExtensionLength = 16;
constexpr size_t kMaxVersionLength = 23;
constexpr size_t kDescriptionTextBufferSize = 260;
constexpr size_t kMaxDescriptionSize =
    kDescriptionFixedSize + kDescriptionTextCount * (2 + kDescriptionTextBufferSize - 1);

struct ProductDescription {
    uint16_t flags;
    uint32_t estimatedSizeKib;
    char product[kDescriptionTextBufferSize];
    char id[kDescriptionTextBufferSize];
    char publisher[kDescriptionTextBufferSize];
    char version[kDescriptionTextBufferSize];
    char program[kDescriptionTextBufferSize];
    char documentExtension[kDescriptionTextBufferSize];
    char documentProgId[kDescriptionTextBufferSize];
};

// Reads and judges a description. False, for anything malformed: wrong
// magic or version, unknown flags, a text cut short or too long, bytes
// after the last text, or a text that breaks its rule (see below).
bool readProductDescription(const unsigned char* bytes, size_t size, ProductDescription* out,
                            LeadByteTest isLeadByte);

// The rules, shared with the packer so that it refuses what the stub would.
// A product or publisher name is one file-name level of at most 100 bytes
// (the publisher may be empty); an id is 1 to 100 letters, digits, '.',
// '-', '_' or blanks, neither starting nor ending with a blank; a version
// is empty or one to four numbers of 0 to 65535 separated by dots; the
// program is a safe entry name; a document type is either absent (both
// texts empty) or an extension '.' with 1 to 16 letters, digits, '-' or
// '_', and a ProgID of 1 to 100 letters, digits, '.', '-' or '_'.
bool isProductName(const char* text, LeadByteTest isLeadByte);
bool isProductId(const char* text);
bool isProductVersion(const char* text);
bool isDocumentType(const char* extension, const char* progId);
