// Code pages: which ones a setup can use, and the ASCII that needs no
// conversion; the conversions themselves are the host's
// (code_page_iconv.cpp, code_page_win32.cpp).
#include "code_page.h"

#include "code_page_conversion.h"
#include "error.h"

namespace vempack {

bool isWindowsAnsiCodePage(unsigned number) {
    return number == 874 || number == 932 || number == 936 || number == 949 || number == 950 ||
           (number >= 1250 && number <= 1258);
}

CodePage::CodePage(unsigned number) : number_(number) {
    if (!isWindowsAnsiCodePage(number)) {
        refuse("code page " + std::to_string(number) +
               " is not a Windows ANSI code page; use one of " + kWindowsAnsiCodePages);
    }
}

std::optional<std::string> CodePage::fromUtf8(const std::string& utf8) const {
    if (!chosen() || isAscii(utf8)) {
        return isAscii(utf8) ? std::optional<std::string>(utf8) : std::nullopt;
    }
    return convertText(number_, kUtf8CodePage, utf8);
}

std::optional<std::string> CodePage::toUtf8(const std::string& text) const {
    if (!chosen() || isAscii(text)) {
        return isAscii(text) ? std::optional<std::string>(text) : std::nullopt;
    }
    return convertText(kUtf8CodePage, number_, text);
}

bool isAscii(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

bool isUtf8(const std::string& text) {
    return isAscii(text) || convertText(kUtf8CodePage, kUtf8CodePage, text).has_value();
}

} // namespace vempack
