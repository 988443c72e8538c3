// Fuzzes what a described setup and its uninstaller read: the first byte
// picks the reader, the rest is its input. A product description
// (readProductDescription) or an uninstall list (readUninstallList, then
// every name walked with nextUninstallEntry), in a single-byte and in the
// double-byte code page 932, or a command line through
// parseDeploymentCommandLine. The checks are bounds and what can only be:
// an accepted input holds texts that pass their own rules again, a list
// walks exactly its count of names and none of them climbs, is absolute or
// names a stream; a parsed target is a terminated, zero-filled text that
// lies in the command line.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "app/deployment_command_line.h"
#include "format/entry_name.h"
#include "format/product_description.h"
#include "format/uninstall_list.h"
#include "platform/platform.h"
#include "platform/posix/posix_impl.h"
#include "support/finding.h"

namespace {

void checkDescription(const ProductDescription& d, const std::string& input) {
    if (!isProductName(d.product, platform::isDbcsLeadByte) || !isProductId(d.id) ||
        (d.publisher[0] != '\0' && !isProductName(d.publisher, platform::isDbcsLeadByte)) ||
        !isProductVersion(d.version) || !isSafeEntryName(d.program, platform::isDbcsLeadByte) ||
        !isDocumentType(d.documentExtension, d.documentProgId) ||
        strchr(d.product, '\\') != nullptr) {
        finding::fail("an accepted description holds a text that breaks its rule", input);
    }
}

void fuzzDescription(const std::string& input) {
    ProductDescription description;
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    if (readProductDescription(bytes, input.size(), &description, platform::isDbcsLeadByte)) {
        checkDescription(description, input);
        // One byte more is never a description too: nothing may follow.
        const std::string longer = input + '\0';
        ProductDescription again;
        if (readProductDescription(reinterpret_cast<const unsigned char*>(longer.data()),
                                   longer.size(), &again, platform::isDbcsLeadByte)) {
            finding::fail("a description with a byte after its last text was accepted", input);
        }
    }
}

void fuzzList(const std::string& input) {
    UninstallList list;
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    if (!readUninstallList(bytes, input.size(), &list, platform::isDbcsLeadByte)) {
        return;
    }
    checkDescription(list.product, input);
    if (list.entries < bytes || list.end != bytes + input.size()) {
        finding::fail("the list's names lie outside its bytes", input);
    }
    char name[260];
    uint32_t count = 0;
    for (const unsigned char* cursor = list.entries; nextUninstallEntry(list, &cursor, name);) {
        if (++count > list.entryCount || !isSafeEntryName(name, platform::isDbcsLeadByte) ||
            name[0] == '\\' || strstr(name, "..\\") == name || strchr(name, ':') != nullptr) {
            finding::fail("an accepted list names what the uninstaller must not remove", input);
        }
    }
    if (count != list.entryCount) {
        finding::fail("an accepted list walks another count of names than it states", input);
    }
}

void fuzzCommandLine(const std::string& input) {
    const std::string tail(input.c_str());
    DeploymentRequest request;
    bool refused = false;
    const RunOptions options = parseDeploymentCommandLine(tail.c_str(), &request, &refused);
    const char* target = options.targetDirectory;
    if (memchr(target, '\0', sizeof options.targetDirectory) == nullptr) {
        finding::fail("targetDirectory is not terminated", tail);
    }
    for (size_t i = strlen(target); i < sizeof options.targetDirectory; ++i) {
        if (target[i] != '\0') {
            finding::fail("targetDirectory has bytes after its end", tail);
        }
    }
    if (request.defaultFolder && (!options.installMode || target[0] != '\0')) {
        finding::fail("a default folder outside install mode or with a target", tail);
    }
    if (refused && target[0] != '\0') {
        finding::fail("a refused target kept its text", tail);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        for (const unsigned codePage : {1252u, 932u}) {
            posix::setAnsiCodePage(codePage);
            fuzzDescription(input);
        }
        break;
    case 1:
        for (const unsigned codePage : {1252u, 932u}) {
            posix::setAnsiCodePage(codePage);
            fuzzList(input);
        }
        break;
    default:
        fuzzCommandLine(input);
        break;
    }
    return 0;
}
