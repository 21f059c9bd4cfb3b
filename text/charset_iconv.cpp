// Native charset converter: iconv to UTF-16LE. The East Asian names go to the Windows
// code pages that the platform's converter uses for them (a Shift_JIS mail with circled
// digits must read the same on both builds), and invalid bytes become U+FFFD as they do
// there instead of failing the whole text.
#include <iconv.h>

#include <cerrno>
#include <new>
#include <string>
#include <vector>

#include "text/charset_service.h"

namespace pelmora {
namespace {

constexpr size_t kMaxNameLength = 64;
constexpr char16_t kReplacement = 0xFFFD;

struct Alias {
    const char* mime;
    const char* iconvName;
};
constexpr Alias kAliases[] = {
    {"shift_jis", "CP932"},      {"shift-jis", "CP932"},     {"x-sjis", "CP932"},
    {"sjis", "CP932"},           {"ms_kanji", "CP932"},      {"csshiftjis", "CP932"},
    {"gb2312", "CP936"},         {"csgb2312", "CP936"},      {"x-euc-cn", "CP936"},
    {"euc-cn", "CP936"},         {"big5", "CP950"},          {"csbig5", "CP950"},
    {"x-x-big5", "CP950"},       {"euc-kr", "CP949"},        {"cseuckr", "CP949"},
    {"ks_c_5601-1987", "CP949"}, {"csksc56011987", "CP949"}, {"ks_c_5601", "CP949"},
    {"ks_c_5601_1987", "CP949"}, {"korean", "CP949"},
};

// iconv also takes the locale's charset for an empty name and option suffixes after "/",
// so only plain ASCII charset tokens get through, folded to lower case.
bool PlainName(std::u16string_view charset, std::string& name) {
    if (charset.empty() || charset.size() > kMaxNameLength) {
        return false;
    }
    name.clear();
    for (char16_t c : charset) {
        const bool ok = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                        (c >= u'0' && c <= u'9') || c == u'-' || c == u'_' || c == u'.' ||
                        c == u':';
        if (!ok) {
            return false;
        }
        name.push_back(static_cast<char>((c >= u'A' && c <= u'Z') ? c + 32 : c));
    }
    for (const Alias& a : kAliases) {
        if (name == a.mime) {
            name = a.iconvName;
            break;
        }
    }
    return true;
}

class Converter {
public:
    explicit Converter(const char* from) : cd_(iconv_open("UTF-16LE", from)) {}
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    ~Converter() {
        if (Valid()) {
            iconv_close(cd_);
        }
    }
    bool Valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Get() const { return cd_; }

private:
    iconv_t cd_;
};

// Charsets of 16- or 32-bit units (UTF-16, UCS-4 ...) cannot be carried in NUL-terminated
// mail text; they leave a lone byte incomplete.
bool HasWideUnits(iconv_t cd) {
    char probe[1] = {'A'};
    char unit[8];
    char* ip = probe;
    size_t il = 1;
    char* op = unit;
    size_t ol = sizeof unit;
    const bool incomplete =
        iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) && errno == EINVAL;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    return incomplete;
}

}  // namespace

bool ConvertWithCharsetService(const char* bytes, size_t n, std::u16string_view charset,
                               std::u16string& out) noexcept try {
    std::string name;
    if (!PlainName(charset, name)) {
        return false;
    }
    Converter cd(name.c_str());
    if (!cd.Valid() || HasWideUnits(cd.Get())) {
        return false;
    }
    // One input byte never yields more than one UTF-16 unit in a mail charset; the
    // destination holds n units and a conversion that needs more fails.
    std::vector<char> dest(n * 2 + 2);
    char* ip = const_cast<char*>(bytes);
    size_t il = n;
    char* op = dest.data();
    size_t ol = n * 2;
    auto putReplacement = [&]() {
        if (ol < 2) {
            return false;
        }
        op[0] = static_cast<char>(kReplacement & 0xFF);
        op[1] = static_cast<char>(kReplacement >> 8);
        op += 2;
        ol -= 2;
        return true;
    };
    while (il > 0) {
        if (iconv(cd.Get(), &ip, &il, &op, &ol) != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == EILSEQ) {
            if (!putReplacement()) {
                return false;
            }
            ++ip;
            --il;
        } else if (errno == EINVAL) {
            // A sequence cut off by the end of the text.
            if (!putReplacement()) {
                return false;
            }
            il = 0;
        } else {
            return false;  // E2BIG: more units than bytes
        }
    }
    if (iconv(cd.Get(), nullptr, nullptr, &op, &ol) == static_cast<size_t>(-1)) {
        return false;
    }
    const size_t units = static_cast<size_t>(op - dest.data()) / 2;
    out.resize(units);
    for (size_t k = 0; k < units; ++k) {
        out[k] = static_cast<char16_t>(static_cast<unsigned char>(dest[2 * k]) |
                                       (static_cast<unsigned char>(dest[2 * k + 1]) << 8));
    }
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

}  // namespace pelmora
