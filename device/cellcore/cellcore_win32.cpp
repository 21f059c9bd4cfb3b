// The emulated device's Connection Manager: the destination networks listed in the profile's
// "destinations.txt", read at each call so a test can change them between commands.
#include <objbase.h>

#include <new>
#include <string>
#include <vector>

#include "device/cemapi/device_profile.h"
#include "device/device_files_win32.h"
#include "platform/wide.h"
#include "sdk/connmgr.h"

using namespace pelmora::device;

extern "C" HRESULT WINAPI ConnMgrEnumDestinations(int nIndex, CONNMGR_DESTINATION_INFO* pDestInfo) {
    if (pDestInfo == nullptr || nIndex < 0) {
        return E_INVALIDARG;
    }
    try {
        std::u16string folder;
        std::string text;
        if (!ProfileFolder(folder) || !ReadWholeFile(folder + u"\\destinations.txt", text)) {
            return E_FAIL;
        }
        const std::vector<DestinationLine> list = ParseDestinationList(text);
        if (static_cast<size_t>(nIndex) >= list.size()) {
            return E_FAIL;
        }
        const DestinationLine& d = list[static_cast<size_t>(nIndex)];
        CONNMGR_DESTINATION_INFO info = {};
        if (FAILED(IIDFromString(pelmora::W(d.guid.c_str()), &info.guid))) {
            return E_FAIL;
        }
        // The array holds the terminator too.
        d.description.copy(pelmora::U(info.szDescription), CONNMGR_MAX_DESC - 1);
        info.fSecure = d.secure ? TRUE : FALSE;
        *pDestInfo = info;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
