// Code page conversions through the Windows conversion calls, which know
// every ANSI code page a setup can use.
#include "code_page.h"
#include "code_page_conversion.h"

#include <windows.h>

namespace vempack {
namespace {

std::optional<std::wstring> toWide(unsigned codePage, const std::string& text) {
    if (text.empty()) {
        return std::wstring();
    }
    const int size = static_cast<int>(text.size());
    const int length =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
    if (length <= 0) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
    return wide;
}

std::optional<std::string> fromWide(unsigned codePage, const std::wstring& wide) {
    if (wide.empty()) {
        return std::string();
    }
    const int size = static_cast<int>(wide.size());
    // UTF-8 takes no flags; for the others no character may be replaced by
    // a look-alike or the default character.
    const DWORD flags = codePage == kUtf8CodePage ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = codePage == kUtf8CodePage ? nullptr : &usedDefault;
    const int length = ::WideCharToMultiByte(codePage, flags, wide.data(), size, nullptr, 0,
                                             nullptr, usedDefaultOut);
    if (length <= 0 || usedDefault) {
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(codePage, flags, wide.data(), size, text.data(), length, nullptr,
                          usedDefaultOut);
    if (usedDefault) {
        return std::nullopt;
    }
    return text;
}

} // namespace

std::optional<std::string> convertText(unsigned to, unsigned from, const std::string& text) {
    const std::optional<std::wstring> wide = toWide(from, text);
    if (!wide) {
        return std::nullopt;
    }
    std::optional<std::string> converted = fromWide(to, *wide);
    // Exact only: the text must come back as it was.
    if (!converted || toWide(to, *converted) != wide) {
        return std::nullopt;
    }
    return converted;
}

std::wstring foldedCase(const std::string& utf8) {
    std::wstring wide;
    if (const std::optional<std::wstring> units =
            isAscii(utf8) ? std::nullopt : toWide(kUtf8CodePage, utf8)) {
        wide = *units;
    } else {
        for (const char c : utf8) {
            wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        }
    }
    if (!wide.empty()) {
        ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    }
    return wide;
}

} // namespace vempack
