#include "reply/reply_rules.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>

namespace pelmora {
namespace {

// Joins with ";" only when the list already holds something; the appended text is
// never looked at, so an empty one can leave a trailing ";".
void Extend(std::u16string& list, const std::u16string& more) {
    if (!list.empty()) {
        list += u';';
    }
    list += more;
}

// The first CR in [p, end), or end. The byte search finds a CR unit's 0x0D byte at the
// latest; a 0x0D byte of any other unit only moves the search on past that unit.
const char16_t* FindCr(const char16_t* p, const char16_t* end) {
    while (p < end) {
        const void* hit = std::memchr(p, 0x0D, static_cast<size_t>(end - p) * sizeof(char16_t));
        if (hit == nullptr) {
            return end;
        }
        const size_t offset =
            static_cast<size_t>(static_cast<const char*>(hit) - reinterpret_cast<const char*>(p));
        p += offset / sizeof(char16_t);
        if (*p == u'\r') {
            return p;
        }
        ++p;
    }
    return end;
}

}  // namespace

bool BuildReplyRecipients(const ParsedMessage& message, const char16_t* senderOrNull,
                          const SettingsRecord& settings, ReplyRecipients& out) noexcept try {
    std::u16string to = message.replyTo.Wide();
    if (senderOrNull != nullptr && (settings.prioFrom || to.empty())) {
        to = senderOrNull;
    }
    std::u16string cc = settings.cc.Wide();
    if (settings.resAll) {
        Extend(cc, message.cc.Wide());
        Extend(settings.resAllCc ? cc : to, message.to.Wide());
    }
    ReplyRecipients r;
    r.to = DualString(std::move(to));
    r.cc = DualString(std::move(cc));
    r.bcc = settings.bcc;
    out = std::move(r);
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool BuildReplySubject(const char16_t* subjectOrNull, DualString& out) noexcept try {
    if (subjectOrNull == nullptr) {
        return false;
    }
    std::u16string s = u"RE:";
    s += subjectOrNull;
    out = DualString(std::move(s));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool SemicolonSeparate(DualString& list) noexcept try {
    if (list.Empty()) {
        return true;
    }
    std::u16string s = list.Wide();
    for (char16_t& c : s) {
        if (c == u',') {
            c = u';';
        }
    }
    s += u';';
    list = DualString(std::move(s));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

bool BuildReplyBody(const DualString& quoteSource, const SettingsRecord& settings,
                    DualString& body) noexcept try {
    const std::u16string_view source = quoteSource.Wide();
    const std::u16string_view mark = settings.quoteString.Wide();
    const std::u16string_view signature = settings.signature.Wide();
    const bool quoting = !source.empty() && !mark.empty();
    // The text is written once into room for it: every CR LF becomes a line end, a mark
    // and a blank, so counting the CRs (a lone one is rare) bounds the size.
    const char16_t* const begin = source.data();
    const char16_t* const end = begin + source.size();
    size_t crs = 0;
    if (quoting) {
        // In blocks whose count fits 16 bits, which the compiler turns into vector code.
        for (const char16_t* p = begin; p < end;) {
            const size_t block = std::min<size_t>(static_cast<size_t>(end - p), 0xFFFF);
            uint16_t inBlock = 0;
            for (size_t i = 0; i < block; ++i) {
                inBlock = static_cast<uint16_t>(inBlock + (p[i] == u'\r'));
            }
            crs += inBlock;
            p += block;
        }
    }
    const size_t size = (signature.empty() ? 0 : signature.size() + 1) + source.size() +
                        (quoting ? (crs + 1) * mark.size() + 1 : 0);
    std::u16string out(size, u'\0');
    char16_t* o = &out[0];
    auto put = [&o](std::u16string_view text) {
        text.copy(o, text.size());
        o += text.size();
    };
    auto putMark = [&o, mark]() {
        for (const char16_t c : mark) {
            *o++ = c;  // a character or two: a loop is shorter than a copy call
        }
        *o++ = u' ';
    };
    if (!signature.empty()) {
        put(signature);
        *o++ = u'\n';
    }
    if (!quoting) {
        put(source);
    } else {
        const char16_t* p = begin;
        putMark();
        for (const char16_t* q = FindCr(p, end); q != end; q = FindCr(q + 1, end)) {
            if (q + 1 == end || q[1] != u'\n') {
                continue;  // a lone CR is text
            }
            put(std::u16string_view(p, static_cast<size_t>(q - p)));
            *o++ = u'\n';
            putMark();
            p = q + 2;
        }
        put(std::u16string_view(p, static_cast<size_t>(end - p)));
    }
    out.resize(static_cast<size_t>(o - out.data()));
    body = DualString(std::move(out));
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

}  // namespace pelmora
