#include "connections/routing_snapshot.h"

#include <algorithm>
#include <map>
#include <utility>

namespace pelmora {

namespace {

constexpr uint32_t kMaxValueNameChars = 16384;
constexpr uint32_t kMaxValueBytes = 1024 * 1024;
constexpr size_t kMaxSavedKeys = 4096;
constexpr char kHeader[] = "pelmora-routing 2";

bool SameName(const std::u16string& a, const std::u16string& b) {
    auto fold = [](char16_t c) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [&](char16_t x, char16_t y) { return fold(x) == fold(y); });
}

// A connection's key (the connections key and one name) or a proxy key (the prefix and one
// identifier): the only keys a snapshot may name.
bool UnderConnectionManager(const std::u16string& path, bool wholeKey) {
    const std::u16string prefix =
        wholeKey ? std::u16string(kProxyKeyPrefix) : std::u16string(kConnectionsKeyPath) + u"\\";
    return path.size() > prefix.size() && SameName(path.substr(0, prefix.size()), prefix) &&
           path.find(u'\\', prefix.size()) == std::u16string::npos;
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

bool Same(const SavedValue& a, const SavedValue& b) {
    return SameName(a.name, b.name) && a.type == b.type && a.data == b.data;
}

const SavedValue* Named(const std::vector<SavedValue>& values, const std::u16string& name) {
    for (const SavedValue& v : values) {
        if (SameName(v.name, name)) {
            return &v;
        }
    }
    return nullptr;
}

// A proxy key: only values that still hold what the switch wrote are put back.
bool UndoWholeKey(ConnectionRegistry& registry, const SavedKey& saved) {
    if (!saved.existed && !saved.kept) {
        return true;
    }
    std::vector<SavedValue> current;
    long status = kRegistryOk;
    {
        OpenRegistryKey key(registry);
        status = key.OpenStatus(saved.path.c_str(), kKeyRead);
        if (status == kRegistryOk && !ReadAllValues(registry, key.Get(), current)) {
            return false;
        }
    }
    if (status != kRegistryOk && status != kRegistryNotFound) {
        return false;
    }
    if (!saved.kept) {
        // Removed by the switch. Present again with nothing but values it had, it is a
        // restore cut short (ours): made whole once more. Anything else is someone's since.
        if (status == kRegistryOk) {
            for (const SavedValue& v : current) {
                const SavedValue* b = Named(saved.before, v.name);
                if (b == nullptr || !Same(*b, v)) {
                    return true;
                }
            }
            if (current.size() == saved.before.size()) {
                return true;
            }
            const long deleted = registry.DeleteKey(saved.path.c_str());
            if (deleted != kRegistryOk && deleted != kRegistryNotFound) {
                return false;
            }
        }
        // Made again under the name it was stored with, values in their old order.
        OpenRegistryKey made(registry);
        if (!made.Create(saved.path.c_str(), kKeyAllAccess)) {
            return false;
        }
        bool ok = true;
        for (const SavedValue& v : saved.before) {
            ok = Put(registry, made.Get(), v) && ok;
        }
        return ok;
    }
    if (status == kRegistryNotFound) {
        return true;  // nothing of the switch's is left
    }
    if (!saved.existed) {
        // Made by the switch: removed while it holds nothing but what the switch put there.
        for (const SavedValue& v : current) {
            const SavedValue* w = Named(saved.written, v.name);
            if (w == nullptr || !Same(*w, v)) {
                return true;
            }
        }
        const long deleted = registry.DeleteKey(saved.path.c_str());
        return deleted == kRegistryOk || deleted == kRegistryNotFound;
    }
    OpenRegistryKey key(registry);
    if (!key.Open(saved.path.c_str(), kKeyAllAccess)) {
        return false;
    }
    bool ok = true;
    for (const SavedValue& w : saved.written) {
        const SavedValue* now = Named(current, w.name);
        if (now == nullptr || !Same(*now, w)) {
            continue;  // not the switch's any more
        }
        const SavedValue* old = Named(saved.before, w.name);
        if (old == nullptr) {
            ok = registry.DeleteValue(key.Get(), now->name.c_str()) == kRegistryOk && ok;
        } else if (!Same(*old, *now)) {
            ok = Put(registry, key.Get(), *old) && ok;
        }
    }
    return ok;
}

// A connection's "Enabled": put back only while it holds what the switch wrote.
bool UndoEnabled(ConnectionRegistry& registry, const SavedKey& saved) {
    if (saved.written.empty() || saved.before.empty()) {
        return true;
    }
    OpenRegistryKey key(registry);
    long status = key.OpenStatus(saved.path.c_str(), kKeyReadWrite);
    if (status != kRegistryOk) {
        return status == kRegistryNotFound;  // a connection since removed: nothing to put back
    }
    SavedValue now;
    bool exists = false;
    if (!ReadOneValue(registry, key.Get(), saved.before[0].name.c_str(), now, exists)) {
        return false;
    }
    if (!exists || !Same(now, saved.written[0])) {
        return true;
    }
    return Put(registry, key.Get(), saved.before[0]);
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

bool RoutingSnapshot::Take(const ConnectionCatalogue& planned, ConnectionRegistry& registry) {
    keys_.clear();
    attempts = 0;
    // A key met twice (two destinations of one identifier) is met the second time as the
    // write-back will have left it the first time.
    std::map<std::u16string, size_t> seen;  // folded path: its last entry
    auto state = [&](SavedKey& key) {
        std::u16string folded = key.path;
        for (char16_t& c : folded) {
            c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
        }
        auto at = seen.find(folded);
        if (at == seen.end()) {
            seen[folded] = keys_.size();
            return false;
        }
        const SavedKey& earlier = keys_[at->second];
        key.path = earlier.path;
        key.existed = earlier.kept;
        key.before = earlier.before;
        for (const SavedValue& w : earlier.written) {
            auto same = std::find_if(key.before.begin(), key.before.end(),
                                     [&](const SavedValue& v) { return SameName(v.name, w.name); });
            if (same != key.before.end()) {
                same->type = w.type;
                same->data = w.data;
            } else {
                key.before.push_back(w);
            }
        }
        if (!earlier.kept) {
            key.before.clear();
        }
        at->second = keys_.size();
        return true;
    };
    for (const DestinationEntry& destination : planned.Destinations()) {
        SavedKey proxy;
        proxy.path = destination.ProxyKeyPath().Wide();
        proxy.wholeKey = true;
        if (!state(proxy)) {
            OpenRegistryKey key(registry);
            long status = key.OpenStatus(proxy.path.c_str(), kKeyRead);
            if (status == kRegistryOk) {
                proxy.existed = true;
                proxy.path = StoredKeyPath(registry, proxy.path);
                if (!ReadAllValues(registry, key.Get(), proxy.before)) {
                    return false;
                }
            } else if (status != kRegistryNotFound) {
                return false;
            }
        }
        proxy.kept = planned.WritesProxyKeys() ? destination.selected : proxy.existed;
        if (planned.WritesProxyKeys() && destination.selected) {
            proxy.written = planned.ProxyEntryValues(destination);
        }
        keys_.push_back(std::move(proxy));
        for (const ConnectionEntry& connection : destination.connections) {
            SavedKey enabled;
            enabled.path = connection.keyPath.Wide();
            if (!state(enabled)) {
                OpenRegistryKey conn(registry);
                SavedValue value;
                if (!conn.Open(enabled.path.c_str(), kKeyRead) ||
                    !ReadOneValue(registry, conn.Get(), u"Enabled", value, enabled.existed)) {
                    return false;
                }
                if (enabled.existed) {
                    enabled.before.push_back(std::move(value));
                }
            }
            enabled.kept = enabled.existed;
            SavedValue written;
            if (enabled.existed && ConnectionCatalogue::EnabledRewrite(
                                       enabled.before[0], connection.enabled, written)) {
                enabled.written.push_back(std::move(written));
            }
            keys_.push_back(std::move(enabled));
        }
    }
    return true;
}

// Last write first: a key written twice comes back through its first state.
bool RoutingSnapshot::Undo(ConnectionRegistry& registry) const {
    bool ok = true;
    for (auto saved = keys_.rbegin(); saved != keys_.rend(); ++saved) {
        ok = (saved->wholeKey ? UndoWholeKey(registry, *saved) : UndoEnabled(registry, *saved)) &&
             ok;
    }
    return ok;
}

std::string RoutingSnapshot::Serialize() const {
    std::string out = std::string(kHeader) + "\nA " + std::to_string(attempts) + "\n";
    for (const SavedKey& k : keys_) {
        out += k.wholeKey ? "K whole " : "K value ";
        out += k.existed ? "1 " : "0 ";
        out += k.kept ? "1" : "0";
        HexText(out, k.path);
        out += "\n";
        for (const auto& [kind, values] :
             {std::pair{"B ", &k.before}, std::pair{"W ", &k.written}}) {
            for (const SavedValue& v : *values) {
                out += kind + std::to_string(v.type);
                HexText(out, v.name);
                Hex(out, v.data.data(), v.data.size());
                out += "\n";
            }
        }
    }
    return out + "end\n";
}

bool RoutingSnapshot::Parse(std::string_view text) {
    keys_.clear();
    attempts = 0;
    std::vector<SavedKey> keys;
    uint32_t count = 0;
    int line_number = 0;
    while (!text.empty()) {
        size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            return false;
        }
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        ++line_number;
        if (line_number == 1) {
            if (line != kHeader) {
                return false;
            }
            continue;
        }
        std::string_view kind = line.substr(0, 1);
        line.remove_prefix(kind.size());
        std::string_view a, b, c, d;
        if (line_number == 2) {
            if (kind != "A" || !Field(line, a) || !line.empty() || !ParseNumber(a, count)) {
                return false;
            }
            continue;
        }
        if (kind == "e" && line == "nd") {
            if (!text.empty()) {
                return false;
            }
            keys_ = std::move(keys);
            attempts = count;
            return true;
        }
        if (kind == "K" && Field(line, a) && Field(line, b) && Field(line, c) && Field(line, d) &&
            line.empty() && (a == "whole" || a == "value") && (b == "0" || b == "1") &&
            (c == "0" || c == "1") && keys.size() < kMaxSavedKeys) {
            SavedKey k;
            k.wholeKey = a == "whole";
            k.existed = b == "1";
            k.kept = c == "1";
            if (!ParseHexText(d, k.path) || !UnderConnectionManager(k.path, k.wholeKey)) {
                return false;
            }
            keys.push_back(std::move(k));
        } else if ((kind == "B" || kind == "W") && !keys.empty() && Field(line, a) &&
                   Field(line, b) && Field(line, c) && line.empty()) {
            SavedValue v;
            SavedKey& k = keys.back();
            std::vector<SavedValue>& values = kind == "B" ? k.before : k.written;
            // Values before only where there was something; written only where the switch
            // left something; a connection has one value, its "Enabled".
            const bool allowed = kind == "B" ? k.existed : (k.wholeKey ? k.kept : k.existed);
            if (!ParseNumber(a, v.type) || !ParseHexText(b, v.name) || !ParseHex(c, v.data) ||
                !allowed || values.size() >= kMaxSavedKeys ||
                (!k.wholeKey && (!values.empty() || !SameName(v.name, u"Enabled")))) {
                return false;
            }
            values.push_back(std::move(v));
        } else {
            return false;
        }
    }
    return false;
}

bool RestoreAndForget(const RoutingSnapshot& snapshot, SnapshotStore& store,
                      ConnectionRegistry& registry) {
    const bool undone = snapshot.Undo(registry) || snapshot.Undo(registry);
    // Flushed before the file that could undo it goes.
    return undone && registry.Flush() == kRegistryOk && (store.Remove() || store.SetAside());
}

bool RecoverRouting(SnapshotStore& store, ConnectionRegistry& registry) {
    std::string text;
    switch (store.Load(text)) {
        case SnapshotLoad::kNone:
            return true;
        case SnapshotLoad::kUnreadable:
            return false;  // it may hold the user's routing: kept, and nothing switched over it
        case SnapshotLoad::kText:
            break;
    }
    RoutingSnapshot snapshot;
    if (!snapshot.Parse(text)) {
        return store.SetAside();  // damaged or foreign: changes nothing
    }
    if (RestoreAndForget(snapshot, store, registry)) {
        return true;
    }
    ++snapshot.attempts;
    if (snapshot.attempts < kRecoveryAttempts && store.Save(snapshot.Serialize())) {
        return false;
    }
    registry.Flush();  // what was put back lasts
    return store.SetAside();
}

}  // namespace pelmora
