// The build command: a setup executable made from the stub and a payload,
// and the payload read back out of one.
#include "commands.h"

#include "error.h"
#include "file_io.h"
#include "format/product_description.h"
#include "host_files.h"
#include "names.h"
#include "pe_image.h"
#include "pe_resources.h"
#include "pe_rewrite.h"
#include "product.h"
#include "setup_resources.h"
#include "uninstaller.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace vempack {
namespace {

namespace fs = std::filesystem;

bool isPayload(const Resource& resource) {
    return resource.type == payloadType() && resource.name == resourceId(kPayloadId);
}

// The stub for `arch` (32 or 64; 0 means 32), found from where the packer
// itself lies, so that no path of the build machine is compiled in: a
// release's PREFIX/bin/vempack takes PREFIX/share/vemsetup/vemsetup.exe (or
// vemsetup64.exe), a native build's build/native/tools/vempack takes
// build/win32/vemsetup.exe (or build/win64/); vempack.exe on Windows first
// takes the stub in its own folder.
std::string defaultStub(unsigned arch) {
    const bool wide = arch == 64;
    std::vector<std::string> candidates;
    std::error_code error;
    const std::string self = executablePath();
    if (!self.empty()) {
        const fs::path bin = hostPath(self).parent_path();
        const fs::path release = bin.parent_path() / "share" / "vemsetup";
        const fs::path buildTree = bin.parent_path().parent_path() / (wide ? "win64" : "win32");
        const std::string stubName = wide ? "vemsetup64.exe" : "vemsetup.exe";
        if (stubBesideExecutable()) {
            candidates.push_back(hostText(bin / stubName));
        }
        candidates.push_back(hostText(release / stubName));
        candidates.push_back(hostText(buildTree / "vemsetup.exe"));
    }
    std::string tried;
    for (const std::string& candidate : candidates) {
        if (fs::is_regular_file(hostPath(candidate), error)) {
            return candidate;
        }
        tried += (tried.empty() ? "" : ", ") + candidate;
    }
    refuse(std::string("no ") + (wide ? "64" : "32") + "-bit stub found (looked for " +
           (tried.empty() ? "nothing: the packer cannot tell where it lies" : tried) +
           "); pass --stub FILE, or build it with cmake --preset " + (wide ? "win64" : "win32") +
           " && cmake --build --preset " + (wide ? "win64" : "win32"));
}

// The payload to embed, checked the way list would check it, so a broken
// payload never reaches a setup. The file is read once: the bytes checked
// are the bytes embedded.
Bytes payloadToEmbed(const CommandLine& line, const std::string& stubPath, const OutputFile& output,
                     PackSummary& summary, Bytes* description) {
    if (line.product.described()) {
        Package package = buildPackage(line, &output);
        const CodePage codePage = line.codePage == 0 ? CodePage() : CodePage(line.codePage);
        addUninstaller(line.product, uninstallerBeside(stubPath), package, codePage);
        *description = descriptionResource(line.product, package, codePage);
        addUninstallList(line.product, *description, package);
        return compressPackage(package, line, &summary);
    }
    if (line.payloadPath.empty()) {
        return createPayload(line, &output, &summary);
    }
    const Bytes file = readFile(line.payloadPath);
    const Package package = readPayload(file, line.payloadPath);
    Bytes payload = payloadBytes(file);
    summary = {package.entries.size(), writeArchive(package).size(), payload.size(), ""};
    if (const auto index = designatedEntry(package)) {
        summary.designated = displayName(package.entries[*index].name);
    }
    return payload;
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

int runBuild(const CommandLine& given) {
    CommandLine line = given;
    applyProductDefaults(line.product, line.versionInfo);
    OutputFile output(line.output);
    const std::string stubPath = line.stubPath.empty() ? defaultStub(line.arch) : line.stubPath;
    const Bytes stub = readFile(stubPath);
    PackSummary summary;
    Bytes description;
    const Bytes payload = payloadToEmbed(line, stubPath, output, summary, &description);
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
    if (!description.empty()) {
        resources.push_back({resourceName(kDescriptionResourceType),
                             resourceId(kDescriptionResourceId), language, 0, description});
    }
    addSetupResources(line, resources);
    RewriteOptions options;
    options.stripSignature = line.stripSignature;
    output.commit(aboutStub([&] { return replaceResources(stub, resources, options); }));
    notice(summaryLine(summary, line.output));
    return 0;
}

} // namespace vempack
