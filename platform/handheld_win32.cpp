#include "platform/handheld.h"

namespace pelmora {

FARPROC ExportAddress(HMODULE module, const wchar_t* name) {
#if defined(_WIN32_WCE)
    return GetProcAddressW(module, name);
#else
    // The desktop has only the narrow lookup.
    char narrow[64];
    size_t n = 0;
    for (; name[n] != 0; ++n) {
        if (n + 1 >= sizeof narrow || name[n] > 0x7F) {
            return nullptr;
        }
        narrow[n] = static_cast<char>(name[n]);
    }
    narrow[n] = 0;
    return GetProcAddress(module, narrow);
#endif
}

const void* ResourceData(HGLOBAL loaded) {
#if defined(_WIN32_WCE)
    return loaded;
#else
    return loaded != nullptr ? LockResource(loaded) : nullptr;
#endif
}

}  // namespace pelmora
