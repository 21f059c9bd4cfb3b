// Charset dispatch for mail text: ISO-2022-JP through our own Shift_JIS path, anything else
// through the platform converter.
#include <cstring>
#include <new>

#include "text/charset_service.h"
#include "text/mail_decode.h"
#include "text/string_util.h"

namespace pelmora {

bool ConvertCharsetText(const char* bytes, size_t n, std::u16string_view charset,
                        std::u16string& out) noexcept {
    const void* nul = n > 0 ? std::memchr(bytes, 0, n) : nullptr;
    const size_t len =
        nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : n;
    try {
        if (EqualsNoCase(charset, u"US-ASCII")) {
            return false;
        }
        if (EqualsNoCase(charset, u"ISO-2022-JP")) {
            std::u16string wide;
            if (!AppendWideFromIso2022Jp(bytes, len, wide)) {
                return false;
            }
            out = std::move(wide);
            return true;
        }
        std::u16string wide;
        if (!ConvertWithCharsetService(bytes, len, charset, wide)) {
            return false;
        }
        out = std::move(wide);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace pelmora
