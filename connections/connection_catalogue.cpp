#include "connections/connection_catalogue.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace pelmora {

const char16_t kConnectionsKeyPath[] =
    u"Comm\\ConnMgr\\Providers\\{7C4B7A38-5FF7-4bc1-80F6-5DA7870BB1AA}\\Connections";
const char16_t kProxyKeyPrefix[] =
    u"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}\\HTTP-";

namespace {

constexpr uint32_t kConnectionValueBytes = 260;
constexpr uint32_t kProxyValueBytes = 1024;
constexpr uint32_t kKeyNameChars = 260;
constexpr int kGuidTextChars = 256;

// A value read into a zeroed buffer of fixed size, so a short value never shows stale or
// uninitialised bytes behind it.
struct FixedValue {
    explicit FixedValue(uint32_t capacity) : bytes(capacity, 0) {}

    bool Read(ConnectionRegistry& registry, RegistryKeyHandle key, const char16_t* name) {
        std::fill(bytes.begin(), bytes.end(), 0);
        size = static_cast<uint32_t>(bytes.size());
        type = 0;
        return registry.QueryValue(key, name, &type, bytes.data(), &size) == kRegistryOk &&
               size <= bytes.size();
    }
    uint32_t FirstDword() const {
        uint32_t n = 0;
        std::memcpy(&n, bytes.data(), sizeof n);
        return n;
    }
    // The text up to its terminator, or up to the value's end when it has none.
    DualString Text() const {
        std::u16string text;
        for (size_t i = 0; i + 1 < size; i += 2) {
            char16_t c = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
            if (c == 0) {
                break;
            }
            text.push_back(c);
        }
        return DualString(std::move(text));
    }

    std::vector<uint8_t> bytes;
    uint32_t type = 0;
    uint32_t size = 0;
};

DualString Joined(const char16_t* a, const DualString& b) {
    DualString s(a);
    s.Append(b);
    return s;
}

RegistryValue TextValue(const char16_t* name, const DualString& text) {
    const std::u16string& w = text.Wide();
    RegistryValue v{name, kRegistryString, {}};
    for (char16_t c : w) {
        v.data.push_back(static_cast<uint8_t>(c & 0xFF));
        v.data.push_back(static_cast<uint8_t>(c >> 8));
    }
    v.data.insert(v.data.end(), {0, 0});  // the terminator counts in the size
    return v;
}

RegistryValue DwordValue(const char16_t* name, uint32_t n) {
    RegistryValue v{name, kRegistryDword, std::vector<uint8_t>(sizeof n)};
    std::memcpy(v.data.data(), &n, sizeof n);
    return v;
}

}  // namespace

int FormatGuidText(const DestinationGuid& guid, char16_t* text, int chars) {
    constexpr int kLength = 38;
    if (text == nullptr || chars < kLength + 1) {
        return 0;
    }
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    int at = 0;
    auto hex = [&](uint32_t value, int digits) {
        for (int i = digits - 1; i >= 0; --i) {
            text[at++] = kDigits[(value >> (4 * i)) & 0xF];
        }
    };
    text[at++] = u'{';
    hex(guid.data1, 8);
    text[at++] = u'-';
    hex(guid.data2, 4);
    text[at++] = u'-';
    hex(guid.data3, 4);
    text[at++] = u'-';
    hex(guid.data4[0], 2);
    hex(guid.data4[1], 2);
    text[at++] = u'-';
    for (int i = 2; i < 8; ++i) {
        hex(guid.data4[i], 2);
    }
    text[at++] = u'}';
    text[at++] = 0;
    return at;
}

DualString DestinationEntry::Description() const {
    size_t n = 0;
    while (n < kDestinationDescriptionChars && info.description[n] != 0) {
        ++n;
    }
    return DualString(info.description, n);
}

DualString DestinationEntry::ProxyKeyPath() const {
    return Joined(kProxyKeyPrefix, idText);
}

ConnectionCatalogue::ConnectionCatalogue(DestinationSource& source, ConnectionRegistry& registry)
    : registry_(registry) {
    DestinationInfo info{};
    for (uint32_t index = 0; source.EnumDestination(index, info); ++index) {
        DestinationEntry destination;
        destination.info = info;
        char16_t text[kGuidTextChars] = {};
        if (source.GuidText(info.guid, text, kGuidTextChars) <= 0) {
            continue;
        }
        text[kGuidTextChars - 1] = 0;
        destination.idText = text;
        ReadConnections(destination);
        if (destination.connections.empty()) {
            continue;
        }
        DualString proxyPath = destination.ProxyKeyPath();
        bool hasProxy = false;
        {
            OpenRegistryKey probe(registry_);
            hasProxy = probe.Open(proxyPath.c_str(), kKeyRead);
        }
        if (hasProxy) {
            ReadProxyRecord(proxyPath.c_str(), destination.proxy);
            destination.selected = true;
            proxyTemplate_ = destination.proxy;
            proxyKnown_ = true;
        }
        destinations_.push_back(std::move(destination));
    }
}

void ConnectionCatalogue::ReadConnections(DestinationEntry& destination) {
    destination.connections.clear();
    OpenRegistryKey connections(registry_);
    if (!connections.Open(kConnectionsKeyPath, kKeyRead)) {
        return;
    }
    uint32_t count = 0;
    if (registry_.SubkeyCount(connections.Get(), &count) != kRegistryOk) {
        return;
    }
    FixedValue value(kConnectionValueBytes);
    for (uint32_t index = 0; index < count; ++index) {
        char16_t name[kKeyNameChars] = {};
        uint32_t chars = kKeyNameChars;
        long status = registry_.EnumKey(connections.Get(), index, name, &chars);
        if (status != kRegistryOk && status != kRegistryMoreData) {
            continue;
        }
        name[kKeyNameChars - 1] = 0;
        ConnectionEntry entry;
        entry.keyName = name;
        entry.displayName = name;
        entry.keyPath = DualString(kConnectionsKeyPath);
        entry.keyPath.Append(u'\\');
        entry.keyPath.Append(entry.keyName);
        OpenRegistryKey key(registry_);
        if (!key.Open(entry.keyPath.c_str(), kKeyRead) ||
            !value.Read(registry_, key.Get(), u"Enabled")) {
            continue;
        }
        uint32_t enabled = value.FirstDword();
        if (!value.Read(registry_, key.Get(), u"DestId") || value.Text() != destination.idText) {
            continue;
        }
        entry.enabled = enabled == 1;
        if (entry.enabled) {
            if (destination.firstEnabled.Empty()) {
                destination.firstEnabled = entry.displayName;
            } else {
                destination.severalEnabled = true;
            }
        }
        destination.connections.push_back(std::move(entry));
    }
}

void ConnectionCatalogue::ReadProxyRecord(const char16_t* path, ProxyRecord& record) {
    OpenRegistryKey key(registry_);
    if (!key.Open(path, kKeyRead)) {
        return;
    }
    struct TextField {
        const char16_t* name;
        DualString ProxyRecord::*field;
    };
    static const TextField kTexts[] = {
        {u"ConnectionGUID", &ProxyRecord::connectionGuid},
        {u"ExtraInfo", &ProxyRecord::extraInfo},
        {u"Override", &ProxyRecord::override},
        {u"Username", &ProxyRecord::username},
        {u"Proxy", &ProxyRecord::proxy},
        {u"DestId", &ProxyRecord::destId},
        {u"SrcId", &ProxyRecord::srcId},
    };
    FixedValue text(kProxyValueBytes);
    for (const TextField& f : kTexts) {
        if (text.Read(registry_, key.Get(), f.name)) {
            record.*f.field = text.Text();
        }
    }
    FixedValue number(sizeof(uint32_t));
    if (number.Read(registry_, key.Get(), u"Enable")) {
        record.enable = number.FirstDword();
    }
    if (number.Read(registry_, key.Get(), u"Type")) {
        record.type = number.FirstDword();
    }
}

std::vector<DualString> ConnectionCatalogue::ConnectionNames() const {
    std::vector<DualString> names;
    for (const DestinationEntry& destination : destinations_) {
        for (const ConnectionEntry& connection : destination.connections) {
            names.push_back(connection.displayName);
        }
    }
    return names;
}

bool ConnectionCatalogue::FindDestinationOfConnection(const DualString& name,
                                                      DualString& description) const {
    description.Clear();
    for (const DestinationEntry& destination : destinations_) {
        bool match = false;
        if (name.Empty()) {
            match = destination.selected;
        } else {
            for (const ConnectionEntry& connection : destination.connections) {
                match = match || connection.displayName == name;
            }
        }
        if (match) {
            description = destination.Description();
            return true;
        }
    }
    return false;
}

bool ConnectionCatalogue::CurrentRouting(DualString& description, DualString& connection) const {
    connection.Clear();
    for (const DestinationEntry& destination : destinations_) {
        if (!destination.selected) {
            continue;
        }
        description = destination.Description();
        if (destination.severalEnabled) {
            return true;
        }
        if (!destination.firstEnabled.Empty()) {
            connection = destination.firstEnabled;
            return true;
        }
    }
    return false;
}

bool ConnectionCatalogue::SelectConnection(const DualString& description,
                                           const DualString& connection) {
    if (!PlanSelection(description, connection)) {
        return false;
    }
    WriteBack();
    return true;
}

bool ConnectionCatalogue::PlanSelection(const DualString& description,
                                        const DualString& connection) {
    DualString target = description;
    if (target.Empty() && !FindDestinationOfConnection(connection, target)) {
        return false;
    }
    bool all = connection.Empty();
    for (DestinationEntry& destination : destinations_) {
        if (destination.Description() != target) {
            destination.selected = false;
            continue;
        }
        destination.selected = true;
        destination.severalEnabled = all;
        for (ConnectionEntry& entry : destination.connections) {
            entry.enabled = all || entry.displayName == connection;
        }
    }
    return true;
}

bool ConnectionCatalogue::EnabledRewrite(const RegistryValue& stored, bool enabled,
                                         RegistryValue& written) {
    // What WriteBack cannot read it leaves alone.
    if (stored.data.size() > kConnectionValueBytes) {
        return false;
    }
    uint32_t now = 0;
    if (!stored.data.empty()) {
        std::memcpy(&now, stored.data.data(), std::min(sizeof now, stored.data.size()));
    }
    if ((now == 1) == enabled) {
        return false;
    }
    // The same type and size as stored, only the number changed; an empty value has no room
    // for the number, so it gets the four bytes of one.
    const uint32_t n = enabled ? 1 : 0;
    written = stored;
    if (written.data.empty()) {
        written.data.resize(sizeof n);
    }
    std::memcpy(written.data.data(), &n, std::min(sizeof n, written.data.size()));
    return true;
}

void ConnectionCatalogue::WriteBack() {
    FixedValue value(kConnectionValueBytes);
    for (const DestinationEntry& destination : destinations_) {
        if (proxyKnown_) {
            if (destination.selected) {
                WriteProxyEntry(destination);
            } else {
                registry_.DeleteKey(destination.ProxyKeyPath().c_str());
            }
        }
        for (const ConnectionEntry& entry : destination.connections) {
            OpenRegistryKey key(registry_);
            if (!key.Open(entry.keyPath.c_str(), kKeyReadWrite) ||
                !value.Read(registry_, key.Get(), u"Enabled")) {
                continue;
            }
            const RegistryValue stored{
                u"Enabled", value.type,
                std::vector<uint8_t>(value.bytes.begin(), value.bytes.begin() + value.size)};
            RegistryValue written;
            if (EnabledRewrite(stored, entry.enabled, written)) {
                registry_.SetValue(key.Get(), u"Enabled", written.type, written.data.data(),
                                   static_cast<uint32_t>(written.data.size()));
            }
        }
    }
}

std::vector<RegistryValue> ConnectionCatalogue::ProxyEntryValues(
    const DestinationEntry& destination) const {
    const ProxyRecord& t = proxyTemplate_;
    return {TextValue(u"ConnectionGUID", t.connectionGuid),
            TextValue(u"ExtraInfo", t.extraInfo),
            TextValue(u"Override", t.override),
            TextValue(u"Username", t.username),
            TextValue(u"Proxy", t.proxy),
            TextValue(u"DestId", t.destId),
            TextValue(u"SrcId", destination.idText),
            DwordValue(u"Enable", t.enable),
            DwordValue(u"Type", t.type)};
}

// Stops at the first value that cannot be set.
void ConnectionCatalogue::WriteProxyEntry(const DestinationEntry& destination) {
    OpenRegistryKey key(registry_);
    if (!key.Create(destination.ProxyKeyPath().c_str(), kKeyAllAccess)) {
        return;
    }
    for (const RegistryValue& v : ProxyEntryValues(destination)) {
        if (registry_.SetValue(key.Get(), v.name.c_str(), v.type, v.data.data(),
                               static_cast<uint32_t>(v.data.size())) != kRegistryOk) {
            return;
        }
    }
}

}  // namespace pelmora
