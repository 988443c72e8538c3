// Builds the version and icon resources of a setup.
#include "setup_resources.h"

#include "error.h"

#include <array>
#include <charconv>
#include <optional>

namespace vempack {
namespace {

constexpr const char* kVersionKeys[] = {"ProductName",      "FileDescription", "CompanyName",
                                        "FileVersion",      "ProductVersion",  "LegalCopyright",
                                        "OriginalFilename", "InternalName",    "Comments"};

constexpr std::uint16_t kEnglishUs = 0x0409;
constexpr std::uint16_t kUnicodeCodePage = 1200;
constexpr std::size_t kIconDirectorySize = 6;
constexpr std::size_t kIconEntrySize = 16;
constexpr std::size_t kMaxIcons = 256;

std::u16string utf16(const std::string& utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if ((lead >= 0x80 && lead < 0xC2) || lead > 0xF4 || i + length > utf8.size()) {
            refuse("--version-info: '" + utf8 + "' is not UTF-8");
        }
        std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                refuse("--version-info: '" + utf8 + "' is not UTF-8");
            }
            code = code << 6 | (next & 0x3F);
        }
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += length;
    }
    return out;
}

void appendText(Bytes& out, const std::u16string& text) {
    for (char16_t unit : text) {
        appendLe(out, unit, 2);
    }
    appendLe(out, 0, 2);
}

void pad4(Bytes& out) {
    out.resize(alignUp(out.size(), 4));
}

// One node of the version tree: length, value length, type, key, value,
// children, each part 32-bit aligned.
Bytes versionNode(const std::string& key, const Bytes& value, std::size_t valueLength, bool text,
                  const std::vector<Bytes>& children) {
    Bytes node(6);
    appendText(node, utf16(key));
    pad4(node);
    node.insert(node.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        pad4(node);
        node.insert(node.end(), child.begin(), child.end());
    }
    if (node.size() > UINT16_MAX) {
        refuse("--version-info: the texts are too long for a version resource");
    }
    storeLe16(node, 0, static_cast<std::uint16_t>(node.size()));
    storeLe16(node, 2, static_cast<std::uint16_t>(valueLength));
    storeLe16(node, 4, text ? 1 : 0);
    return node;
}

// "A.B.C.D": one to four decimal numbers up to 65535, the missing ones 0.
std::optional<std::array<std::uint16_t, 4>> versionParts(const std::string& text) {
    std::array<std::uint16_t, 4> parts{};
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (std::uint16_t& part : parts) {
        const auto [next, error] = std::from_chars(at, end, part);
        if (error != std::errc()) {
            return std::nullopt;
        }
        if (next == end) {
            return parts;
        }
        if (*next != '.') {
            return std::nullopt;
        }
        at = next + 1;
    }
    return std::nullopt;
}

// The two 32-bit halves of the numeric version; 0 when no text is given.
std::pair<std::uint32_t, std::uint32_t> numericVersion(const std::string& text) {
    if (text.empty()) {
        return {0, 0};
    }
    const auto parts = versionParts(text);
    if (!parts) {
        refuse("--version-info: '" + text + "' is not a version A.B.C.D");
    }
    return {static_cast<std::uint32_t>((*parts)[0]) << 16 | (*parts)[1],
            static_cast<std::uint32_t>((*parts)[2]) << 16 | (*parts)[3]};
}

} // namespace

bool isNumericVersion(const std::string& text) {
    return versionParts(text).has_value();
}

bool isVersionKey(const std::string& key) {
    for (const char* known : kVersionKeys) {
        if (key == known) {
            return true;
        }
    }
    return false;
}

Bytes versionInfoResource(const std::vector<std::pair<std::string, std::string>>& values) {
    std::string fileVersion;
    std::string productVersion;
    std::vector<Bytes> strings;
    for (const auto& [key, value] : values) {
        fileVersion = key == "FileVersion" ? value : fileVersion;
        productVersion = key == "ProductVersion" ? value : productVersion;
        Bytes text;
        appendText(text, utf16(value));
        strings.push_back(versionNode(key, text, text.size() / 2, true, {}));
    }
    const auto file = numericVersion(fileVersion);
    const auto product = numericVersion(productVersion.empty() ? fileVersion : productVersion);
    Bytes fixed;
    for (const std::uint32_t field :
         {0xFEEF04BDu, 0x00010000u, file.first, file.second, product.first, product.second,
          0x3Fu /* flags mask */, 0u /* flags */, 0x00040004u /* VOS_NT_WINDOWS32 */,
          1u /* VFT_APP */, 0u, 0u, 0u /* no date */}) {
        appendLe(fixed, field, 4);
    }
    Bytes translation;
    appendLe(translation, kEnglishUs, 2);
    appendLe(translation, kUnicodeCodePage, 2);
    const Bytes table = versionNode("040904B0", {}, 0, true, strings);
    return versionNode(
        "VS_VERSION_INFO", fixed, fixed.size(), false,
        {versionNode("StringFileInfo", {}, 0, true, {table}),
         versionNode("VarFileInfo", {}, 0, true,
                     {versionNode("Translation", translation, translation.size(), false, {})})});
}

std::vector<Resource> iconResources(const Bytes& ico, std::uint16_t language) {
    if (ico.size() < kIconDirectorySize || loadLe16(&ico[0]) != 0 || loadLe16(&ico[2]) != 1) {
        refuse("--icon: not an .ico file");
    }
    const std::size_t count = loadLe16(&ico[4]);
    if (count == 0 || count > kMaxIcons ||
        ico.size() < kIconDirectorySize + kIconEntrySize * count) {
        refuse("--icon: the .ico file holds no images, or its directory is cut short");
    }
    std::vector<Resource> resources;
    Bytes group;
    appendLe(group, 0, 2);
    appendLe(group, 1, 2);
    appendLe(group, count, 2);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* entry = &ico[kIconDirectorySize + kIconEntrySize * i];
        const std::uint64_t size = loadLe32(entry + 8);
        const std::uint64_t offset = loadLe32(entry + 12);
        if (offset > ico.size() || size > ico.size() - offset || size == 0) {
            refuse("--icon: image " + std::to_string(i) + " lies outside the .ico file");
        }
        const auto id = static_cast<std::uint16_t>(i + 1);
        resources.push_back({resourceId(kIconType), resourceId(id), language, 0,
                             Bytes(ico.begin() + static_cast<std::ptrdiff_t>(offset),
                                   ico.begin() + static_cast<std::ptrdiff_t>(offset + size))});
        // The group entry is the file's entry with the resource's identifier
        // in place of the image's offset.
        group.insert(group.end(), entry, entry + 12);
        appendLe(group, id, 2);
    }
    resources.push_back({resourceId(kGroupIconType), resourceId(1), language, 0, group});
    return resources;
}

} // namespace vempack
