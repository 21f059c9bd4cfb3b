// The Connection Manager's destinations and connections as read from the registry, the
// routing they describe (which destination carries the HTTP proxy entry, which of its
// connections are enabled), and the switch of that routing to one connection.
//
// Both deliverables build it the same way: the settings program lists the connection names,
// the extension also switches the routing and writes it back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "connections/connection_registry.h"
#include "text/dual_string.h"

namespace pelmora {

// Where the Connection Manager keeps its configuration, under HKEY_LOCAL_MACHINE.
extern const char16_t kConnectionsKeyPath[];
extern const char16_t kProxyKeyPrefix[];  // + a destination's identifier text

// One registry value: its name, type and bytes.
struct RegistryValue {
    std::u16string name;
    uint32_t type = 0;
    std::vector<uint8_t> data;
    bool operator==(const RegistryValue& o) const {
        return name == o.name && type == o.type && data == o.data;
    }
};

struct ConnectionEntry {
    bool enabled = false;  // "Enabled" was exactly 1; the selection changes it in memory
    DualString keyName;
    DualString displayName;
    DualString keyPath;
};

struct ProxyRecord {
    DualString connectionGuid;
    DualString extraInfo;
    DualString override;
    DualString username;
    DualString proxy;
    uint32_t enable = 0;
    uint32_t type = 0;
    DualString destId;
    DualString srcId;
};

struct DestinationEntry {
    DestinationInfo info{};
    bool selected = false;  // carries (or is to carry) the HTTP proxy entry
    DualString idText;
    DualString firstEnabled;
    bool severalEnabled = false;  // after a selection: all its connections are to be enabled
    ProxyRecord proxy;
    std::vector<ConnectionEntry> connections;

    // The description, which names the destination in every lookup.
    DualString Description() const;
    DualString ProxyKeyPath() const;
};

class ConnectionCatalogue {
public:
    // Builds the catalogue; an unreadable configuration gives an empty or partial one.
    ConnectionCatalogue(DestinationSource& source, ConnectionRegistry& registry);

    const std::vector<DestinationEntry>& Destinations() const { return destinations_; }
    const ProxyRecord& ProxyTemplate() const { return proxyTemplate_; }

    // Every connection's display name, destination by destination in catalogue order.
    std::vector<DualString> ConnectionNames() const;

    // The first destination holding a connection of that name; for an empty name, the first
    // selected destination.
    bool FindDestinationOfConnection(const DualString& name, DualString& description) const;

    // The destination carrying the proxy entry and its enabled connection (empty: all of
    // them, when several are enabled).
    bool CurrentRouting(DualString& description, DualString& connection) const;

    // Routes over `connection` of the destination `description` (found from the connection
    // when empty) and writes the registry at once. False only when no destination is found.
    bool SelectConnection(const DualString& description, const DualString& connection);
    // The same choice in memory only, so that what WriteBack will write can be kept first.
    bool PlanSelection(const DualString& description, const DualString& connection);

    // Writes the proxy entries and the connections' "Enabled" values that differ.
    void WriteBack();

    // Whether WriteBack writes and deletes proxy keys at all (some destination had one).
    bool WritesProxyKeys() const { return proxyKnown_; }
    // The values WriteBack sets in a selected destination's proxy key, in writing order.
    std::vector<RegistryValue> ProxyEntryValues(const DestinationEntry& destination) const;
    // The "Enabled" value WriteBack writes over `stored` for the state `enabled`; false when it
    // leaves the value as it is.
    static bool EnabledRewrite(const RegistryValue& stored, bool enabled, RegistryValue& written);

private:
    void ReadConnections(DestinationEntry& destination);
    void ReadProxyRecord(const char16_t* path, ProxyRecord& record);
    void WriteProxyEntry(const DestinationEntry& destination);

    ConnectionRegistry& registry_;
    std::vector<DestinationEntry> destinations_;
    bool proxyKnown_ = false;
    ProxyRecord proxyTemplate_;
};

// The GUID's registry form: braces, upper-case hexadecimal groups at full width.
int FormatGuidText(const DestinationGuid& guid, char16_t* text, int chars);

}  // namespace pelmora
