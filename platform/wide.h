// The one place where our UTF-16 text meets the platform's wchar_t. The bottom floor: it
// knows none of our other folders' types.
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

namespace pelmora {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide text is UTF-16");

inline const wchar_t* W(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* W(char16_t* s) {
    return reinterpret_cast<wchar_t*>(s);
}
// Any text object that hands out its UTF-16 through c_str() (DualString, std::u16string).
template <typename Text, typename = std::enable_if_t<std::is_same_v<
                             decltype(std::declval<const Text&>().c_str()), const char16_t*>>>
inline const wchar_t* W(const Text& s) {
    return W(s.c_str());
}
inline const char16_t* U(const wchar_t* s) {
    return reinterpret_cast<const char16_t*>(s);
}
inline char16_t* U(wchar_t* s) {
    return reinterpret_cast<char16_t*>(s);
}

}  // namespace pelmora
