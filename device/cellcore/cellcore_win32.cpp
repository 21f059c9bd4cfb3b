// The emulated device's Connection Manager: the destination networks listed in the profile's
// "destinations.txt", read at each call so a test can change them between commands, and the
// status of one connection per destination: connected for the one the messaging library's
// sync was given, disconnected for the others.
#include <objbase.h>

#include <new>
#include <string>
#include <vector>

#include "device/cemapi/device_profile.h"
#include "device/device_files_win32.h"
#include "device/routing_json_win32.h"
#include "platform/wide.h"
#include "sdk/connmgr.h"
#include "sdk/connmgr_status.h"

using namespace pelmora::device;

namespace {

// The profile's destination networks, in enumeration order.
bool LoadDestinations(std::vector<DestinationLine>& list) {
    std::u16string folder;
    std::string text;
    if (!ProfileFolder(folder) || !ReadWholeFile(folder + u"\\destinations.txt", text)) {
        return false;
    }
    list = ParseDestinationList(text);
    return true;
}

}  // namespace

extern "C" HRESULT WINAPI ConnMgrEnumDestinations(int nIndex, CONNMGR_DESTINATION_INFO* pDestInfo) {
    if (pDestInfo == nullptr || nIndex < 0) {
        return E_INVALIDARG;
    }
    try {
        std::vector<DestinationLine> list;
        if (!LoadDestinations(list)) {
            return E_FAIL;
        }
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

namespace {

// Registry key names keep whatever letter case they were written in.
bool SameGuidText(const std::u16string& a, const std::u16string& b) {
    auto fold = [](char16_t c) {
        return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    };
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" HRESULT WINAPI ConnMgrQueryDetailedStatus(
    CONNMGR_CONNECTION_DETAILED_STATUS* pStatusBuffer, DWORD* pcbBufferSize) {
    if (pcbBufferSize == nullptr) {
        return E_INVALIDARG;
    }
    try {
        std::vector<DestinationLine> list;
        if (!LoadDestinations(list)) {
            return E_FAIL;
        }
        std::u16string connected;
        SyncConnection(connected);
        // The records first, then their descriptions.
        size_t needed = list.size() * sizeof(CONNMGR_CONNECTION_DETAILED_STATUS);
        for (const DestinationLine& d : list) {
            needed += (d.description.size() + 1) * sizeof(WCHAR);
        }
        if (pStatusBuffer == nullptr || *pcbBufferSize < needed) {
            *pcbBufferSize = static_cast<DWORD>(needed);
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        BYTE* base = reinterpret_cast<BYTE*>(pStatusBuffer);
        WCHAR* texts = reinterpret_cast<WCHAR*>(base + list.size() * sizeof(*pStatusBuffer));
        for (size_t i = 0; i < list.size(); ++i) {
            CONNMGR_CONNECTION_DETAILED_STATUS& s = pStatusBuffer[i];
            s = CONNMGR_CONNECTION_DETAILED_STATUS{};
            s.pNext = i + 1 < list.size() ? &pStatusBuffer[i + 1] : nullptr;
            s.dwVer = 1;
            if (FAILED(IIDFromString(pelmora::W(list[i].guid.c_str()), &s.guidDestNet))) {
                return E_FAIL;
            }
            s.szDescription = texts;
            list[i].description.copy(pelmora::U(texts), list[i].description.size());
            texts[list[i].description.size()] = 0;
            texts += list[i].description.size() + 1;
            s.dwConnectionStatus = !connected.empty() && SameGuidText(list[i].guid, connected)
                                       ? CONNMGR_STATUS_CONNECTED
                                       : CONNMGR_STATUS_DISCONNECTED;
        }
        *pcbBufferSize = static_cast<DWORD>(needed);
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
