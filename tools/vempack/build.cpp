// The build command: a setup executable made from the stub and a payload,
// and the payload read back out of one.
#include "commands.h"

#include "error.h"
#include "file_io.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "pe_rewrite.h"
#include "setup_resources.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#ifndef VEMPACK_BUILD_TREE_STUB
#define VEMPACK_BUILD_TREE_STUB ""
#endif

namespace vempack {
namespace {

namespace fs = std::filesystem;

bool isPayload(const Resource& resource) {
    return resource.type == payloadType() && resource.name == resourceId(kPayloadId);
}

// The stub this project installs beside the packer
// (PREFIX/bin/vempack -> PREFIX/share/vemsetup/vemsetup.exe), else the one
// of the build tree that the packer was configured in.
std::string defaultStub() {
    std::vector<std::string> candidates;
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        candidates.push_back(
            (self.parent_path().parent_path() / "share" / "vemsetup" / "vemsetup.exe").string());
    }
    if (*VEMPACK_BUILD_TREE_STUB != '\0') {
        candidates.push_back(VEMPACK_BUILD_TREE_STUB);
    }
    std::string tried;
    for (const std::string& candidate : candidates) {
        if (fs::is_regular_file(candidate, error)) {
            return candidate;
        }
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    refuse("no stub found (looked for " + (tried.empty() ? "nothing" : tried) +
           "); pass --stub vemsetup.exe, or build it with cmake --preset win32");
}

// The payload to embed, checked the way list would check it, so a broken
// payload never reaches a setup.
Bytes payloadToEmbed(const CommandLine& line) {
    if (line.payloadPath.empty()) {
        return createPayload(line);
    }
    readPayloadFile(line.payloadPath);
    return payloadBytes(readFile(line.payloadPath));
}

// Replaces the stub's version resource and icons by those the command line
// gives, in the language of the stub's version resource.
void addSetupResources(const CommandLine& line, std::vector<Resource>& resources) {
    std::uint16_t language = 0x0409;
    for (const Resource& resource : resources) {
        if (resource.type == resourceId(kVersionType)) {
            language = resource.language;
        }
    }
    const auto dropType = [&](std::uint16_t type) {
        resources.erase(
            std::remove_if(resources.begin(), resources.end(),
                           [&](const Resource& r) { return r.type == resourceId(type); }),
            resources.end());
    };
    if (!line.versionInfo.empty()) {
        dropType(kVersionType);
        resources.push_back({resourceId(kVersionType), resourceId(1), language, 0,
                             versionInfoResource(line.versionInfo)});
    }
    if (!line.iconPath.empty()) {
        const Bytes ico = readFile(line.iconPath);
        dropType(kIconType);
        dropType(kGroupIconType);
        for (Resource& icon : iconResources(ico, language)) {
            resources.push_back(std::move(icon));
        }
    }
}

} // namespace

Bytes payloadBytes(const Bytes& file) {
    if (!looksLikeExecutable(file)) {
        return file;
    }
    const std::vector<Resource> resources = readResources(parsePeImage(file), file);
    const Resource* found = nullptr;
    for (const Resource& resource : resources) {
        if (isPayload(resource)) {
            if (found != nullptr) {
                warn("the payload resource exists in more than one language; the first is read");
                break;
            }
            found = &resource;
        }
    }
    if (found == nullptr) {
        fail("the executable has no \"PACKAGE\" 105 resource (no payload)");
    }
    return found->data;
}

int runBuild(const CommandLine& line) {
    const std::string stubPath = line.stubPath.empty() ? defaultStub() : line.stubPath;
    const Bytes stub = readFile(stubPath);
    const Bytes payload = payloadToEmbed(line);
    // Errors about the stub name it; the other inputs' errors name
    // themselves.
    const auto aboutStub = [&](auto step) {
        try {
            return step();
        } catch (const ToolError& e) {
            refuse("the stub '" + stubPath + "': " + e.what());
        }
    };
    std::vector<Resource> resources =
        aboutStub([&] { return readResources(parsePeImage(stub), stub); });
    std::uint16_t language = 0;
    for (auto it = resources.begin(); it != resources.end();) {
        if (isPayload(*it)) {
            language = it->language;
            it = resources.erase(it);
        } else {
            ++it;
        }
    }
    resources.push_back({payloadType(), resourceId(kPayloadId), language, 0, payload});
    addSetupResources(line, resources);
    RewriteOptions options;
    options.stripSignature = line.stripSignature;
    writeFileReplacing(line.output,
                       aboutStub([&] { return replaceResources(stub, resources, options); }));
    return 0;
}

} // namespace vempack
