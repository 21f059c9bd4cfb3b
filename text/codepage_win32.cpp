#include "text/codepage.h"

#include <windows.h>

#include <climits>

namespace pelmora {

bool AppendWideFromAnsi(const char* bytes, size_t n, std::u16string& out) {
    if (n == 0) {
        return true;
    }
    if (n > INT_MAX) {
        return false;
    }
    const int need = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(n), nullptr, 0);
    if (need <= 0) {
        return false;
    }
    const size_t old = out.size();
    out.resize(old + static_cast<size_t>(need));
    const int got = MultiByteToWideChar(CP_ACP, 0, bytes, static_cast<int>(n),
                                        reinterpret_cast<wchar_t*>(&out[old]), need);
    if (got <= 0) {
        out.resize(old);
        return false;
    }
    out.resize(old + static_cast<size_t>(got));
    return true;
}

const AnsiDecodeTable* AnsiDecodeTableOrNull() {
    return nullptr;
}

bool AppendAnsiFromWide(const char16_t* wide, size_t n, std::string& out) {
    if (n == 0) {
        return true;
    }
    if (n > INT_MAX / 2) {
        return false;
    }
    const auto* w = reinterpret_cast<const wchar_t*>(wide);
    const int need =
        WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(n), nullptr, 0, nullptr, nullptr);
    if (need <= 0) {
        return false;
    }
    const size_t old = out.size();
    out.resize(old + static_cast<size_t>(need));
    const int got =
        WideCharToMultiByte(CP_ACP, 0, w, static_cast<int>(n), &out[old], need, nullptr, nullptr);
    if (got <= 0) {
        out.resize(old);
        return false;
    }
    out.resize(old + static_cast<size_t>(got));
    return true;
}

}  // namespace pelmora
