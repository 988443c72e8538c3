// Code page conversions through iconv; glibc names the Windows tables CPnnnn
// (its CP932 is Microsoft's table, not plain Shift_JIS).
#include "code_page.h"
#include "code_page_conversion.h"

#include "error.h"

#include <cerrno>
#include <cstring>
#include <cwctype>
#include <iconv.h>
#include <locale.h>

namespace vempack {
namespace {

// Owns an iconv descriptor so every path releases it.
class Converter {
  public:
    Converter(const std::string& to, const std::string& from)
        : cd_(::iconv_open(to.c_str(), from.c_str())) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            fail("this system's iconv cannot convert from " + from + " to " + to);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() { ::iconv_close(cd_); }

    // The whole of `in` converted, or nothing at the first byte sequence
    // that has no exact equivalent or is invalid.
    std::optional<std::string> convert(const std::string& in) {
        std::string input = in;
        std::string out(input.size() * 4 + 16, '\0');
        char* inAt = input.data();
        std::size_t inLeft = input.size();
        std::size_t done = 0;
        // A null input flushes a converter that holds back a character to
        // combine it with the next one (CP1255, CP1258).
        for (bool flushing = false;;) {
            char* outAt = out.data() + done;
            std::size_t outLeft = out.size() - done;
            const std::size_t result = flushing ? ::iconv(cd_, nullptr, nullptr, &outAt, &outLeft)
                                                : ::iconv(cd_, &inAt, &inLeft, &outAt, &outLeft);
            const int error = errno;
            done = out.size() - outLeft;
            if (result != static_cast<std::size_t>(-1)) {
                if (flushing) {
                    out.resize(done);
                    return out;
                }
                flushing = true;
            } else if (error == E2BIG) {
                out.resize(out.size() * 2);
            } else {
                return std::nullopt;
            }
        }
    }

  private:
    iconv_t cd_;
};

std::string iconvName(unsigned codePage) {
    return codePage == kUtf8CodePage ? "UTF-8" : "CP" + std::to_string(codePage);
}

// The C library's Unicode case tables; the plain C locale knows ASCII only.
locale_t unicodeLocale() {
    static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
    return locale;
}

} // namespace

std::optional<std::string> convertText(unsigned to, unsigned from, const std::string& text) {
    return Converter(iconvName(to), iconvName(from)).convert(text);
}

std::wstring foldedCase(const std::string& utf8) {
    std::wstring wide;
    const std::optional<std::string> units =
        isAscii(utf8) ? std::nullopt : Converter("WCHAR_T", "UTF-8").convert(utf8);
    if (units) {
        wide.resize(units->size() / sizeof(wchar_t));
        std::memcpy(wide.data(), units->data(), wide.size() * sizeof(wchar_t));
    } else {
        for (const char c : utf8) {
            wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        }
    }
    const locale_t locale = unicodeLocale();
    for (wchar_t& c : wide) {
        if (c < 0x80 || locale == nullptr) {
            c = (c >= L'a' && c <= L'z') ? c - L'a' + L'A' : c;
        } else {
            c = static_cast<wchar_t>(::towupper_l(static_cast<wint_t>(c), locale));
        }
    }
    return wide;
}

} // namespace vempack
