// The Windows ANSI code page that entry names are stored in. The stub opens
// its files with the ANSI calls, so a stored name is read in the code page of
// the machine that runs the setup; the packer takes host names as UTF-8 and
// converts them with the C library's iconv.
#pragma once

#include "common/character_walk.h"

#include <optional>
#include <string>

namespace vempack {

// 874, 932, 936, 949, 950 and 1250 to 1258.
bool isWindowsAnsiCodePage(unsigned number);

// The list above, for messages and help.
constexpr const char* kWindowsAnsiCodePages =
    "1252 (Western European), 1250, 1251, 1253 to 1258, 874, 932 (Japanese), 936, 949, 950";

class CodePage {
  public:
    // None chosen: only ASCII names can be stored or extracted.
    CodePage() = default;
    // `number` must be one that isWindowsAnsiCodePage accepts.
    explicit CodePage(unsigned number);

    bool chosen() const { return number_ != 0; }
    unsigned number() const { return number_; }
    // Which bytes start a two-byte character; none without a code page.
    LeadByteTest leadByteTest() const { return leadByteTestOf(number_); }

    // `utf8` in this code page, or nothing when a character has no exact
    // equivalent there, the text is not UTF-8, or (none chosen) it is not
    // ASCII.
    std::optional<std::string> fromUtf8(const std::string& utf8) const;
    // `text` of this code page as UTF-8, or nothing when it holds a byte
    // sequence the code page does not define (or, none chosen, is not ASCII).
    std::optional<std::string> toUtf8(const std::string& text) const;

  private:
    unsigned number_ = 0;
};

bool isAscii(const std::string& text);
bool isUtf8(const std::string& text);

// `utf8` with every letter in upper case, as wide characters, so that two
// names Windows would take for one file compare equal (its file systems
// ignore case beyond ASCII too). Text that is not UTF-8 folds ASCII only.
std::wstring foldedCase(const std::string& utf8);

} // namespace vempack
