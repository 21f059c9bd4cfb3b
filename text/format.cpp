#include "text/format.h"

namespace pelmora {
namespace {

void Pad(std::u16string& out, const std::u16string& item, size_t width, bool left, bool zero) {
    if (item.size() >= width) {
        out += item;
        return;
    }
    const size_t fill = width - item.size();
    if (left) {
        out += item;
        out.append(fill, u' ');
    } else if (zero && !item.empty() && item[0] == u'-') {
        out.push_back(u'-');
        out.append(fill, u'0');
        out.append(item, 1, std::u16string::npos);
    } else {
        out.append(fill, zero ? u'0' : u' ');
        out += item;
    }
}

std::u16string Digits(unsigned long long v, unsigned base, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string s;
    do {
        s.insert(s.begin(), static_cast<char16_t>(digits[v % base]));
        v /= base;
    } while (v != 0);
    return s;
}

}  // namespace

std::u16string FormatWideV(const char16_t* format, va_list args, size_t limit) {
    std::u16string out;
    if (format == nullptr) {
        return out;
    }
    for (const char16_t* p = format; *p != 0 && out.size() < limit; ++p) {
        if (*p != u'%') {
            out.push_back(*p);
            continue;
        }
        const char16_t* start = p++;
        bool left = false;
        bool zero = false;
        for (; *p == u'-' || *p == u'0'; ++p) {
            (*p == u'-' ? left : zero) = true;
        }
        size_t width = 0;
        for (; *p >= u'0' && *p <= u'9'; ++p) {
            width = width * 10 + static_cast<size_t>(*p - u'0');
            if (width > limit) {
                width = limit;
            }
        }
        std::u16string item;
        switch (*p) {
            case u's': {
                const char16_t* s = va_arg(args, const char16_t*);
                item = s != nullptr ? std::u16string(s) : std::u16string(u"(null)");
                zero = false;
                break;
            }
            case u'd':
            case u'i': {
                const int v = va_arg(args, int);
                const unsigned long long mag =
                    v < 0 ? 0ULL - static_cast<unsigned long long>(static_cast<long long>(v))
                          : static_cast<unsigned long long>(v);
                item = (v < 0 ? u"-" : u"") + Digits(mag, 10, false);
                break;
            }
            case u'u':
                item = Digits(va_arg(args, unsigned), 10, false);
                break;
            case u'x':
            case u'X':
                item = Digits(va_arg(args, unsigned), 16, *p == u'X');
                break;
            case u'c':
                item.assign(1, static_cast<char16_t>(va_arg(args, int)));
                zero = false;
                break;
            case u'%':
                item = u"%";
                width = 0;
                break;
            default:
                // Not a conversion we know: copy it through unchanged.
                if (*p == 0) {
                    --p;
                }
                out.append(start, static_cast<size_t>(p - start + 1));
                continue;
        }
        Pad(out, item, width, left, zero);
    }
    if (out.size() > limit) {
        out.resize(limit);
    }
    return out;
}

std::u16string FormatWide(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::u16string s = FormatWideV(format, args, static_cast<size_t>(-1));
    va_end(args);
    return s;
}

}  // namespace pelmora
