// Windows charset converter: the platform's multi-language service (IMultiLanguage).
// COM must already be initialised on the calling thread.
#include <windows.h>
#include <mlang.h>

#include <climits>
#include <new>
#include <string>

#include "platform/owners.h"
#include "platform/wide.h"
#include "text/charset_service.h"
#include "text/dual_string.h"
#include "text/string_util.h"

namespace pelmora {
namespace {

// {275C23E2-3747-11D0-9FEA-00AA003F8646}
const CLSID kClsidMultiLanguage = {
    0x275c23e2, 0x3747, 0x11d0, {0x9f, 0xea, 0x00, 0xaa, 0x00, 0x3f, 0x86, 0x46}};
// {275C23E1-3747-11D0-9FEA-00AA003F8646}
const IID kIidMultiLanguage = {
    0x275c23e1, 0x3747, 0x11d0, {0x9f, 0xea, 0x00, 0xaa, 0x00, 0x3f, 0x86, 0x46}};

// Text in these code pages is made of 16- or 32-bit units, which NUL-terminated mail text
// cannot carry; the service would also read the source length as a count of units.
bool IsWideUnitCodePage(UINT cp) {
    return cp == 1200 || cp == 1201 || cp == 12000 || cp == 12001;
}

// Common MIME names that some builds of the service do not list, with a name for the
// same code page that they do.
const wchar_t* KnownAlias(std::u16string_view charset) {
    static const struct {
        const char16_t* name;
        const wchar_t* alias;
    } kAliases[] = {
        {u"euc-kr", L"ks_c_5601-1987"},
        {u"cseuckr", L"ks_c_5601-1987"},
    };
    for (const auto& a : kAliases) {
        if (EqualsNoCase(charset, a.name)) {
            return a.alias;
        }
    }
    return nullptr;
}

}  // namespace

bool ConvertWithCharsetService(const char* bytes, size_t n, std::u16string_view charset,
                               std::u16string& out) noexcept try {
    if (charset.empty() || charset.find(u'\0') != std::u16string_view::npos ||
        charset.size() > UINT_MAX || n >= UINT_MAX / 2) {
        return false;
    }
    ComPtr<IMultiLanguage> service;
    if (FAILED(CoCreateInstance(kClsidMultiLanguage, nullptr, CLSCTX_ALL, kIidMultiLanguage,
                                service.PutVoid()))) {
        return false;
    }
    Bstr name(SysAllocStringLen(W(charset.data()), static_cast<UINT>(charset.size())));
    if (!name) {
        return false;
    }
    // An unknown name must fail here: with both numbers left at 0 the service would
    // convert from the ANSI code page and hide the callers' fallbacks.
    MIMECSETINFO info = {};
    if (FAILED(service->GetCharsetInfo(name.Get(), &info))) {
        const wchar_t* alias = KnownAlias(charset);
        if (alias == nullptr) {
            return false;
        }
        name.Reset(SysAllocString(alias));
        if (!name || FAILED(service->GetCharsetInfo(name.Get(), &info))) {
            return false;
        }
    }
    const UINT codePage = info.uiInternetEncoding != 0 ? info.uiInternetEncoding : info.uiCodePage;
    if (codePage == 0 || IsWideUnitCodePage(codePage)) {
        return false;
    }
    if (n == 0) {
        out.clear();
        return true;
    }
    // One byte never yields more than one UTF-16 unit, so a destination of n + 1 units
    // takes any conversion in one call. Asking the service for the length first is not
    // an option: some implementations crash on that for the ISO-2022-JP family.
    std::string source(bytes, n);
    std::u16string dest(n + 1, u'\0');
    DWORD mode = 0;
    UINT sourceSize = static_cast<UINT>(n);
    UINT destSize = static_cast<UINT>(n + 1);
    const HRESULT hr = service->ConvertStringToUnicode(&mode, codePage, &source[0], &sourceSize,
                                                       W(&dest[0]), &destSize);
    if (hr != S_OK || destSize > n) {
        return false;
    }
    dest.resize(destSize);
    out = std::move(dest);
    return true;
} catch (const std::bad_alloc&) {
    return false;
}

}  // namespace pelmora
