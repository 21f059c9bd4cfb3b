#include "connections/connection_manager_win32.h"

#include <objbase.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "connections/connection_catalogue.h"
#include "platform/wide.h"
#include "sdk/connmgr.h"
#include "sdk/connmgr_status.h"

namespace pelmora {

// The catalogue's portable record is the platform's, copied whole.
static_assert(sizeof(DestinationInfo) == sizeof(CONNMGR_DESTINATION_INFO), "same layout");
static_assert(offsetof(DestinationInfo, description) ==
                  offsetof(CONNMGR_DESTINATION_INFO, szDescription),
              "same layout");
static_assert(offsetof(DestinationInfo, secure) == offsetof(CONNMGR_DESTINATION_INFO, fSecure),
              "same layout");
static_assert(sizeof(DestinationGuid) == sizeof(GUID), "same layout");

namespace {

HKEY Key(RegistryKeyHandle key) {
    return reinterpret_cast<HKEY>(key);
}
DWORD* Dwords(uint32_t* p) {
    static_assert(sizeof(DWORD) == sizeof(uint32_t), "DWORD is 32 bits");
    return reinterpret_cast<DWORD*>(p);
}

}  // namespace

bool DeviceConnectionManager::EnumDestination(uint32_t index, DestinationInfo& info) {
    CONNMGR_DESTINATION_INFO record = {};
    if (index > 0x7FFFFFFF || FAILED(ConnMgrEnumDestinations(static_cast<int>(index), &record))) {
        return false;
    }
    memcpy(&info, &record, sizeof info);
    return true;
}

int DeviceConnectionManager::GuidText(const DestinationGuid& guid, char16_t* text, int chars) {
    GUID g;
    memcpy(&g, &guid, sizeof g);
    return StringFromGUID2(g, W(text), chars);
}

long DeviceConnectionManager::OpenKey(const char16_t* path, uint32_t access,
                                      RegistryKeyHandle* key) {
    HKEY h = nullptr;
    LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, access, &h);
    *key = reinterpret_cast<RegistryKeyHandle>(h);
    return status;
}

long DeviceConnectionManager::CreateKey(const char16_t* path, uint32_t access,
                                        RegistryKeyHandle* key) {
    HKEY h = nullptr;
    LONG status =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, nullptr, 0, access, nullptr, &h, nullptr);
    *key = reinterpret_cast<RegistryKeyHandle>(h);
    return status;
}

long DeviceConnectionManager::DeleteKey(const char16_t* path) {
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, W(path));
}

void DeviceConnectionManager::CloseKey(RegistryKeyHandle key) {
    RegCloseKey(Key(key));
}

long DeviceConnectionManager::SubkeyCount(RegistryKeyHandle key, uint32_t* count) {
    return RegQueryInfoKeyW(Key(key), nullptr, nullptr, nullptr, Dwords(count), nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr, nullptr);
}

long DeviceConnectionManager::EnumKey(RegistryKeyHandle key, uint32_t index, char16_t* name,
                                      uint32_t* chars) {
    return RegEnumKeyExW(Key(key), index, W(name), Dwords(chars), nullptr, nullptr, nullptr,
                         nullptr);
}

long DeviceConnectionManager::EnumValue(RegistryKeyHandle key, uint32_t index, char16_t* name,
                                        uint32_t* nameChars, uint32_t* type, uint8_t* data,
                                        uint32_t* size) {
    return RegEnumValueW(Key(key), index, W(name), Dwords(nameChars), nullptr, Dwords(type), data,
                         Dwords(size));
}

long DeviceConnectionManager::QueryValue(RegistryKeyHandle key, const char16_t* name,
                                         uint32_t* type, uint8_t* data, uint32_t* size) {
    return RegQueryValueExW(Key(key), W(name), nullptr, Dwords(type), data, Dwords(size));
}

long DeviceConnectionManager::SetValue(RegistryKeyHandle key, const char16_t* name, uint32_t type,
                                       const uint8_t* data, uint32_t size) {
    return RegSetValueExW(Key(key), W(name), 0, type, data, size);
}

long DeviceConnectionManager::DeleteValue(RegistryKeyHandle key, const char16_t* name) {
    return RegDeleteValueW(Key(key), W(name));
}

// "RegFlushKey" (Windows CE 5.0): on a hive-based registry it writes the hive's changes to
// its file; nothing else makes them last over a reset.
long DeviceConnectionManager::Flush() {
    return RegFlushKey(HKEY_LOCAL_MACHINE);
}

namespace {

// "ConnMgrQueryDetailedStatus": whether a connection to the destination is up now.
bool DestinationConnected(const DestinationGuid& destination) {
    std::vector<uint8_t> buffer(4096);
    for (int tries = 0; tries < 3; ++tries) {
        DWORD size = static_cast<DWORD>(buffer.size());
        auto* first = reinterpret_cast<CONNMGR_CONNECTION_DETAILED_STATUS*>(buffer.data());
        const HRESULT hr = ConnMgrQueryDetailedStatus(first, &size);
        if (hr == HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) && size > buffer.size() &&
            size <= 1024 * 1024) {
            buffer.assign(size, 0);
            continue;
        }
        if (FAILED(hr)) {
            return false;
        }
        // The list lies in the buffer; a link out of it ends the walk.
        const uint8_t* begin = buffer.data();
        const uint8_t* end = begin + std::min<size_t>(size, buffer.size());
        for (auto* s = first; s != nullptr; s = s->pNext) {
            const auto* at = reinterpret_cast<const uint8_t*>(s);
            if (at < begin || at + sizeof *s > end) {
                return false;
            }
            if (s->dwConnectionStatus == CONNMGR_STATUS_CONNECTED &&
                memcmp(&s->guidDestNet, &destination, sizeof destination) == 0) {
                return true;
            }
        }
        return false;
    }
    return false;
}

}  // namespace

bool AwaitDestinationConnected(const DestinationGuid& destination) {
    // A connection over GPRS can take many seconds to come up; a minute is plenty, and the
    // routing is put back whatever happens.
    constexpr DWORD kStepMs = 250;
    constexpr DWORD kSteps = 60 * 1000 / kStepMs;
    for (DWORD step = 0; step < kSteps; ++step) {
        if (DestinationConnected(destination)) {
            return true;
        }
        Sleep(kStepMs);
    }
    return false;
}

std::vector<DualString> ListDeviceConnectionNames() {
    DeviceConnectionManager device;
    return ConnectionCatalogue(device, device).ConnectionNames();
}

}  // namespace pelmora
