// The one place where our UTF-16 text meets the platform's wchar_t.
#pragma once

#include <windows.h>

#include "text/dual_string.h"

namespace pelmora {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline const wchar_t* W(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* W(char16_t* s) {
    return reinterpret_cast<wchar_t*>(s);
}
inline const wchar_t* W(const DualString& s) {
    return W(s.c_str());
}
inline const char16_t* U(const wchar_t* s) {
    return reinterpret_cast<const char16_t*>(s);
}
inline char16_t* U(wchar_t* s) {
    return reinterpret_cast<char16_t*>(s);
}

}  // namespace pelmora
