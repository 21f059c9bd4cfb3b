#include "text/string_util.h"

#include <algorithm>

#include "text/dual_string.h"

namespace pelmora {
namespace {

template <typename Char>
Char Fold(Char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename View>
bool StartsWithNoCaseImpl(View a, View b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        const auto ca = i < a.size() ? a[i] : 0;
        const auto cb = i < b.size() ? b[i] : 0;
        if (Fold(ca) != Fold(cb)) {
            return false;
        }
        if (ca == 0) {
            return true;  // both ended together
        }
    }
    return true;
}

template <typename View>
bool EqualsNoCaseImpl(View a, View b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return EqualsNoCaseImpl(a, b);
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return EqualsNoCaseImpl(a, b);
}

bool StartsWithNoCase(std::string_view a, std::string_view b, size_t n) {
    return StartsWithNoCaseImpl(a, b, n);
}

bool StartsWithNoCase(std::u16string_view a, std::u16string_view b, size_t n) {
    return StartsWithNoCaseImpl(a, b, n);
}

bool SplitPath(const char16_t* path, char16_t* folder, char16_t* file) {
    if (path == nullptr || folder == nullptr || file == nullptr) {
        return false;
    }
    const size_t len = WideLength(path);
    if (len >= kMaxPathChars) {
        return false;
    }
    std::fill(file, file + kMaxPathChars, u'\0');
    std::copy(path, path + len + 1, folder);
    const char16_t* slash = nullptr;
    for (const char16_t* p = path; *p != 0; ++p) {
        if (*p == u'\\') {
            slash = p;
        }
    }
    if (slash == nullptr) {
        std::copy(path, path + len + 1, file);
        folder[0] = 0;
    } else {
        const size_t at = static_cast<size_t>(slash - path);
        std::copy(slash + 1, path + len + 1, file);
        folder[at] = 0;
    }
    return true;
}

}  // namespace pelmora
