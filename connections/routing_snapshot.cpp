#include "connections/routing_snapshot.h"

#include <algorithm>

namespace pelmora {

namespace {

constexpr uint32_t kMaxValueNameChars = 16384;
constexpr uint32_t kMaxValueBytes = 1024 * 1024;
constexpr size_t kMaxSavedKeys = 4096;
constexpr char kHeader[] = "pelmora-routing 1";

bool SameName(const std::u16string& a, const std::u16string& b) {
    auto fold = [](char16_t c) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// The path of an existing key with its last name as the registry stores it: keys are found
// whatever the letter case, and one that is removed and made again must get its own back.
std::u16string StoredKeyPath(ConnectionRegistry& registry, const std::u16string& path) {
    const size_t slash = path.rfind(u'\\');
    if (slash == std::u16string::npos) {
        return path;
    }
    const std::u16string parentPath = path.substr(0, slash);
    const std::u16string leaf = path.substr(slash + 1);
    OpenRegistryKey parent(registry);
    if (!parent.Open(parentPath.c_str(), kKeyRead)) {
        return path;
    }
    std::vector<char16_t> name(256);
    for (uint32_t index = 0;; ++index) {
        uint32_t chars = static_cast<uint32_t>(name.size());
        if (registry.EnumKey(parent.Get(), index, name.data(), &chars) != kRegistryOk) {
            return path;
        }
        const std::u16string stored(name.data(), chars);
        if (SameName(stored, leaf)) {
            return parentPath + u"\\" + stored;
        }
    }
}

// Every value of an open key, in enumeration order.
bool ReadAllValues(ConnectionRegistry& registry, RegistryKeyHandle key,
                   std::vector<SavedValue>& values) {
    values.clear();
    std::vector<char16_t> name(kMaxValueNameChars + 1);
    std::vector<uint8_t> data(1024);
    for (uint32_t index = 0;;) {
        uint32_t chars = kMaxValueNameChars + 1;
        uint32_t size = static_cast<uint32_t>(data.size());
        uint32_t type = 0;
        long status =
            registry.EnumValue(key, index, name.data(), &chars, &type, data.data(), &size);
        if (status == kRegistryNoMoreItems) {
            return true;
        }
        if (status == kRegistryMoreData && size > data.size() && size <= kMaxValueBytes) {
            data.resize(size);
            continue;  // the same index again with room for its data
        }
        if (status != kRegistryOk || chars > kMaxValueNameChars || size > data.size()) {
            return false;
        }
        values.push_back({std::u16string(name.data(), chars), type,
                          std::vector<uint8_t>(data.begin(), data.begin() + size)});
        ++index;
    }
}

// One value; `exists` false when it is not there.
bool ReadOneValue(ConnectionRegistry& registry, RegistryKeyHandle key, const char16_t* name,
                  SavedValue& value, bool& exists) {
    value = SavedValue{name, 0, {}};
    exists = false;
    std::vector<uint8_t> data(260);
    for (;;) {
        uint32_t size = static_cast<uint32_t>(data.size());
        long status = registry.QueryValue(key, name, &value.type, data.data(), &size);
        if (status == kRegistryNotFound) {
            return true;
        }
        if (status == kRegistryMoreData && size > data.size() && size <= kMaxValueBytes) {
            data.resize(size);
            continue;
        }
        if (status != kRegistryOk || size > data.size()) {
            return false;
        }
        value.data.assign(data.begin(), data.begin() + size);
        exists = true;
        return true;
    }
}

bool Put(ConnectionRegistry& registry, RegistryKeyHandle key, const SavedValue& v) {
    return registry.SetValue(key, v.name.c_str(), v.type, v.data.data(),
                             static_cast<uint32_t>(v.data.size())) == kRegistryOk;
}

bool SameOrder(const std::vector<SavedValue>& a, const std::vector<SavedValue>& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const SavedValue& x, const SavedValue& y) {
               return SameName(x.name, y.name);
           });
}

bool RestoreWholeKey(ConnectionRegistry& registry, const SavedKey& saved) {
    if (!saved.exists) {
        long status = registry.DeleteKey(saved.path.c_str());
        return status == kRegistryOk || status == kRegistryNotFound;
    }
    // A key that came back under another letter case (made anew by the switch) is made
    // once more under the name it was stored with.
    if (StoredKeyPath(registry, saved.path) != saved.path) {
        registry.DeleteKey(saved.path.c_str());
    }
    std::vector<SavedValue> current;
    {
        OpenRegistryKey key(registry);
        if (!key.Create(saved.path.c_str(), kKeyAllAccess) ||
            !ReadAllValues(registry, key.Get(), current)) {
            return false;
        }
    }
    OpenRegistryKey key(registry);
    if (!key.Create(saved.path.c_str(), kKeyAllAccess)) {
        return false;
    }
    bool ok = true;
    // Values come back in the order they were written: a key whose values stand in
    // another order than the saved ones has them all written anew. The key itself stays,
    // so its name keeps the letter case it was stored with.
    if (!SameOrder(current, saved.values)) {
        for (const SavedValue& v : current) {
            ok = registry.DeleteValue(key.Get(), v.name.c_str()) == kRegistryOk && ok;
        }
        current.clear();
    }
    for (const SavedValue& v : current) {
        auto kept = std::find_if(saved.values.begin(), saved.values.end(),
                                 [&](const SavedValue& s) { return SameName(s.name, v.name); });
        if (kept == saved.values.end()) {
            ok = registry.DeleteValue(key.Get(), v.name.c_str()) == kRegistryOk && ok;
        }
    }
    for (const SavedValue& v : saved.values) {
        auto now = std::find_if(current.begin(), current.end(),
                                [&](const SavedValue& c) { return SameName(c.name, v.name); });
        if (now == current.end() || !(*now == v)) {
            ok = Put(registry, key.Get(), v) && ok;
        }
    }
    return ok;
}

// A connection's "Enabled": the switch only ever rewrites one that exists.
bool RestoreEnabled(ConnectionRegistry& registry, const SavedKey& saved) {
    if (!saved.exists || saved.values.size() != 1) {
        return true;
    }
    OpenRegistryKey key(registry);
    long status = key.OpenStatus(saved.path.c_str(), kKeyReadWrite);
    if (status != kRegistryOk) {
        return status == kRegistryNotFound;  // a connection since removed: nothing to put back
    }
    SavedValue now;
    bool exists = false;
    if (ReadOneValue(registry, key.Get(), saved.values[0].name.c_str(), now, exists) && exists &&
        now == saved.values[0]) {
        return true;
    }
    return Put(registry, key.Get(), saved.values[0]);
}

// Text form: one item a line, every text and byte string in hexadecimal.
void Hex(std::string& out, const uint8_t* bytes, size_t n) {
    static const char kDigits[] = "0123456789abcdef";
    out += ' ';
    if (n == 0) {
        out += '-';
    }
    for (size_t i = 0; i < n; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0xF];
    }
}
void HexText(std::string& out, const std::u16string& text) {
    std::vector<uint8_t> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    Hex(out, bytes.data(), bytes.size());
}

// Reads the next space-separated field of a line.
bool Field(std::string_view& line, std::string_view& field) {
    if (line.empty() || line.front() != ' ') {
        return false;
    }
    line.remove_prefix(1);
    size_t end = line.find(' ');
    field = line.substr(0, end);
    line.remove_prefix(field.size());
    return !field.empty();
}
bool ParseHex(std::string_view field, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (field == "-") {
        return true;
    }
    if (field.size() % 2 != 0 || field.size() / 2 > kMaxValueBytes) {
        return false;
    }
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
    };
    for (size_t i = 0; i < field.size(); i += 2) {
        int hi = digit(field[i]);
        int lo = digit(field[i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return true;
}
bool ParseHexText(std::string_view field, std::u16string& text) {
    std::vector<uint8_t> bytes;
    if (!ParseHex(field, bytes) || bytes.size() % 2 != 0) {
        return false;
    }
    text.clear();
    for (size_t i = 0; i < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return true;
}
bool ParseNumber(std::string_view field, uint32_t& n) {
    if (field.empty() || field.size() > 10) {
        return false;
    }
    uint64_t v = 0;
    for (char c : field) {
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<uint64_t>(c - '0');
    }
    n = static_cast<uint32_t>(v);
    return v <= 0xFFFFFFFFu;
}

}  // namespace

bool RoutingSnapshot::Take(const ConnectionCatalogue& catalogue, ConnectionRegistry& registry) {
    keys_.clear();
    for (const DestinationEntry& destination : catalogue.Destinations()) {
        SavedKey proxy;
        proxy.path = destination.ProxyKeyPath().Wide();
        proxy.wholeKey = true;
        OpenRegistryKey key(registry);
        long status = key.OpenStatus(proxy.path.c_str(), kKeyRead);
        if (status == kRegistryOk) {
            proxy.exists = true;
            proxy.path = StoredKeyPath(registry, proxy.path);
            if (!ReadAllValues(registry, key.Get(), proxy.values)) {
                return false;
            }
        } else if (status != kRegistryNotFound) {
            return false;
        }
        keys_.push_back(std::move(proxy));
        for (const ConnectionEntry& connection : destination.connections) {
            SavedKey enabled;
            enabled.path = connection.keyPath.Wide();
            OpenRegistryKey conn(registry);
            SavedValue value;
            if (!conn.Open(enabled.path.c_str(), kKeyRead) ||
                !ReadOneValue(registry, conn.Get(), u"Enabled", value, enabled.exists)) {
                return false;
            }
            if (enabled.exists) {
                enabled.values.push_back(std::move(value));
            }
            keys_.push_back(std::move(enabled));
        }
    }
    return true;
}

bool RoutingSnapshot::Restore(ConnectionRegistry& registry) const {
    bool ok = true;
    for (const SavedKey& saved : keys_) {
        ok =
            (saved.wholeKey ? RestoreWholeKey(registry, saved) : RestoreEnabled(registry, saved)) &&
            ok;
    }
    return ok;
}

std::string RoutingSnapshot::Serialize() const {
    std::string out = std::string(kHeader) + "\n";
    for (const SavedKey& k : keys_) {
        out += k.wholeKey ? "K whole " : "K value ";
        out += k.exists ? "1" : "0";
        HexText(out, k.path);
        out += "\n";
        for (const SavedValue& v : k.values) {
            out += "V " + std::to_string(v.type);
            HexText(out, v.name);
            Hex(out, v.data.data(), v.data.size());
            out += "\n";
        }
    }
    return out + "end\n";
}

bool RoutingSnapshot::Parse(std::string_view text) {
    keys_.clear();
    std::vector<SavedKey> keys;
    bool first = true;
    while (!text.empty()) {
        size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return false;
        }
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        if (first) {
            if (line != kHeader) {
                return false;
            }
            first = false;
            continue;
        }
        if (line == "end") {
            if (!text.empty()) {
                return false;
            }
            keys_ = std::move(keys);
            return true;
        }
        std::string_view kind = line.substr(0, 1);
        line.remove_prefix(kind.size());
        std::string_view a, b, c;
        if (kind == "K" && Field(line, a) && Field(line, b) && Field(line, c) && line.empty() &&
            (a == "whole" || a == "value") && (b == "0" || b == "1") &&
            keys.size() < kMaxSavedKeys) {
            SavedKey k;
            k.wholeKey = a == "whole";
            k.exists = b == "1";
            if (!ParseHexText(c, k.path) || k.path.empty()) {
                return false;
            }
            keys.push_back(std::move(k));
        } else if (kind == "V" && !keys.empty() && Field(line, a) && Field(line, b) &&
                   Field(line, c) && line.empty()) {
            SavedValue v;
            SavedKey& k = keys.back();
            if (!ParseNumber(a, v.type) || !ParseHexText(b, v.name) || !ParseHex(c, v.data) ||
                !k.exists || (!k.wholeKey && !k.values.empty()) ||
                k.values.size() >= kMaxSavedKeys) {
                return false;
            }
            k.values.push_back(std::move(v));
        } else {
            return false;
        }
    }
    return false;
}

bool RestoreAndForget(const RoutingSnapshot& snapshot, SnapshotStore& store,
                      ConnectionRegistry& registry) {
    bool restored = snapshot.Restore(registry) || snapshot.Restore(registry);
    return restored && store.Remove();
}

bool RecoverRouting(SnapshotStore& store, ConnectionRegistry& registry) {
    std::string text;
    if (!store.Load(text)) {
        return true;
    }
    RoutingSnapshot snapshot;
    if (!snapshot.Parse(text)) {
        return store.Remove();
    }
    return RestoreAndForget(snapshot, store, registry);
}

}  // namespace pelmora
