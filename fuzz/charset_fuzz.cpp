// Charset conversion on arbitrary bytes: the first line names the charset, the rest is the
// text. A conversion never has more units than the text has bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "text/mail_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t lf = all.find('\n');
    if (lf == std::string_view::npos || lf > 64) {
        return 0;
    }
    std::u16string charset;
    for (char c : all.substr(0, lf)) {
        charset.push_back(static_cast<unsigned char>(c));
    }
    const std::string text(all.substr(lf + 1));
    std::u16string out = u"unchanged";
    if (pelmora::ConvertCharsetText(text.data(), text.size(), charset, out)) {
        if (out.size() > text.size()) {
            __builtin_trap();
        }
    } else if (out != u"unchanged") {
        __builtin_trap();
    }
    return 0;
}
