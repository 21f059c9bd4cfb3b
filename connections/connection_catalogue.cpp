#include "connections/connection_catalogue.h"

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

bool SetText(ConnectionRegistry& registry, RegistryKeyHandle key, const char16_t* name,
             const DualString& text) {
    uint32_t bytes = static_cast<uint32_t>((text.Length() + 1) * sizeof(char16_t));
    return registry.SetValue(key, name, kRegistryString,
                             reinterpret_cast<const uint8_t*>(text.c_str()), bytes) == kRegistryOk;
}

bool SetDword(ConnectionRegistry& registry, RegistryKeyHandle key, const char16_t* name,
              uint32_t n) {
    uint8_t bytes[4];
    std::memcpy(bytes, &n, sizeof n);
    return registry.SetValue(key, name, kRegistryDword, bytes, sizeof bytes) == kRegistryOk;
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
    WriteBack();
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
            if ((value.FirstDword() == 1) == entry.enabled) {
                continue;
            }
            // The same type and size as stored, only the number changed; an empty value
            // has no room for the number, so it gets the four bytes of one.
            const uint32_t n = entry.enabled ? 1 : 0;
            std::vector<uint8_t> bytes(value.bytes.begin(), value.bytes.begin() + value.size);
            if (bytes.empty()) {
                bytes.resize(sizeof n);
            }
            std::memcpy(bytes.data(), &n, std::min<size_t>(sizeof n, bytes.size()));
            registry_.SetValue(key.Get(), u"Enabled", value.type, bytes.data(),
                               static_cast<uint32_t>(bytes.size()));
        }
    }
}

bool ConnectionCatalogue::WriteProxyEntry(const DestinationEntry& destination) {
    OpenRegistryKey key(registry_);
    if (!key.Create(destination.ProxyKeyPath().c_str(), kKeyAllAccess)) {
        return false;
    }
    const ProxyRecord& t = proxyTemplate_;
    RegistryKeyHandle k = key.Get();
    return SetText(registry_, k, u"ConnectionGUID", t.connectionGuid) &&
           SetText(registry_, k, u"ExtraInfo", t.extraInfo) &&
           SetText(registry_, k, u"Override", t.override) &&
           SetText(registry_, k, u"Username", t.username) &&
           SetText(registry_, k, u"Proxy", t.proxy) && SetText(registry_, k, u"DestId", t.destId) &&
           SetText(registry_, k, u"SrcId", destination.idText) &&
           SetDword(registry_, k, u"Enable", t.enable) && SetDword(registry_, k, u"Type", t.type);
}

}  // namespace pelmora
