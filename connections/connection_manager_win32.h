// The device's Connection Manager for the catalogue: cellcore's destination enumeration,
// StringFromGUID2 and the registry under HKEY_LOCAL_MACHINE.
#pragma once

#include <vector>

#include "connections/connection_registry.h"
#include "text/dual_string.h"

namespace pelmora {

class DeviceConnectionManager : public DestinationSource, public ConnectionRegistry {
public:
    bool EnumDestination(uint32_t index, DestinationInfo& info) override;
    int GuidText(const DestinationGuid& guid, char16_t* text, int chars) override;

    long OpenKey(const char16_t* path, uint32_t access, RegistryKeyHandle* key) override;
    long CreateKey(const char16_t* path, uint32_t access, RegistryKeyHandle* key) override;
    long DeleteKey(const char16_t* path) override;
    void CloseKey(RegistryKeyHandle key) override;
    long SubkeyCount(RegistryKeyHandle key, uint32_t* count) override;
    long EnumKey(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* chars) override;
    long EnumValue(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* nameChars,
                   uint32_t* type, uint8_t* data, uint32_t* size) override;
    long QueryValue(RegistryKeyHandle key, const char16_t* name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override;
    long SetValue(RegistryKeyHandle key, const char16_t* name, uint32_t type, const uint8_t* data,
                  uint32_t size) override;
    long DeleteValue(RegistryKeyHandle key, const char16_t* name) override;
    long Flush() override;
};

// Waits, within a bounded time, until the Connection Manager reports a connection to
// `destination` connected. False when none came.
bool AwaitDestinationConnected(const DestinationGuid& destination);

// The settings program's list: every connection name in catalogue order (empty when the
// device has no destination).
std::vector<DualString> ListDeviceConnectionNames();

}  // namespace pelmora
