// An in-memory Connection Manager for the catalogue's rules: destinations, a registry that
// checks the access each handle was opened with, and a write that can be made to fail.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "connections/connection_catalogue.h"

namespace pelmora {
namespace testing_support {

struct MemoryValue {
    std::u16string name;
    uint32_t type;
    std::vector<uint8_t> data;
};

inline std::u16string Folded(std::u16string s) {
    for (char16_t& c : s) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return s;
}

class MemoryConnectionManager : public DestinationSource, public ConnectionRegistry {
public:
    // Keys by folded full path, each with its values in creation order.
    struct Key {
        std::u16string path;
        std::vector<MemoryValue> values;
    };
    std::map<std::u16string, Key> keys;
    std::vector<DestinationInfo> destinations;
    int failWrite = 0;        // the N-th write fails (0: none)
    bool failOnward = false;  // and every write after it
    int writes = 0;

    // Fixture building.
    void PutValue(const std::u16string& path, const std::u16string& name, uint32_t type,
                  std::vector<uint8_t> data) {
        Key& k = Ensure(path);
        MemoryValue* v = Find(k, name);
        if (v != nullptr) {
            v->type = type;
            v->data = std::move(data);
        } else {
            k.values.push_back({name, type, std::move(data)});
        }
    }

    // The whole registry as text, for exact before/after comparisons.
    std::string Dump() const {
        std::string out;
        for (const auto& [folded, key] : keys) {
            out += ToMultibyte(key.path) + "\n";
            for (const MemoryValue& v : key.values) {
                out += "  " + ToMultibyte(v.name) + " " + std::to_string(v.type) + ":";
                for (uint8_t b : v.data) {
                    out += " " + std::to_string(b);
                }
                out += "\n";
            }
        }
        return out;
    }

    bool EnumDestination(uint32_t index, DestinationInfo& info) override {
        if (index >= destinations.size()) {
            return false;
        }
        info = destinations[index];
        return true;
    }
    int GuidText(const DestinationGuid& guid, char16_t* text, int chars) override {
        return FormatGuidText(guid, text, chars);
    }

    long OpenKey(const char16_t* path, uint32_t access, RegistryKeyHandle* key) override {
        auto it = keys.find(Folded(path));
        if (it == keys.end()) {
            return kRegistryNotFound;
        }
        return Hand(it->second.path, access, key);
    }
    long CreateKey(const char16_t* path, uint32_t access, RegistryKeyHandle* key) override {
        if (!Write()) {
            return kRegistryAccessDenied;
        }
        return Hand(Ensure(path).path, access, key);
    }
    long DeleteKey(const char16_t* path) override {
        if (!Write()) {
            return kRegistryAccessDenied;
        }
        std::u16string folded = Folded(path);
        auto it = keys.find(folded);
        if (it == keys.end()) {
            return kRegistryNotFound;
        }
        auto next = std::next(it);
        if (next != keys.end() && next->first.rfind(folded + u"\\", 0) == 0) {
            return kRegistryAccessDenied;
        }
        keys.erase(it);
        return kRegistryOk;
    }
    void CloseKey(RegistryKeyHandle key) override {
        auto it = std::find_if(handles_.begin(), handles_.end(),
                               [&](const auto& h) { return h.get() == Handle(key); });
        if (it == handles_.end()) {
            std::abort();  // closing a key twice or one never opened
        }
        handles_.erase(it);
    }
    long SubkeyCount(RegistryKeyHandle key, uint32_t* count) override {
        const Open* h = Check(key, 0x1);
        if (h == nullptr) {
            return kRegistryAccessDenied;
        }
        *count = static_cast<uint32_t>(Children(h->path).size());
        return kRegistryOk;
    }
    long EnumKey(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* chars) override {
        const Open* h = Check(key, 0x8);
        if (h == nullptr) {
            return kRegistryAccessDenied;
        }
        std::vector<std::u16string> children = Children(h->path);
        if (index >= children.size()) {
            return kRegistryNoMoreItems;
        }
        return CopyName(children[index], name, chars);
    }
    long EnumValue(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* nameChars,
                   uint32_t* type, uint8_t* data, uint32_t* size) override {
        const Open* h = Check(key, 0x1);
        if (h == nullptr) {
            return kRegistryAccessDenied;
        }
        const Key& k = keys.at(Folded(h->path));
        if (index >= k.values.size()) {
            return kRegistryNoMoreItems;
        }
        const MemoryValue& v = k.values[index];
        long status = CopyName(v.name, name, nameChars);
        return status != kRegistryOk ? status : CopyData(v, type, data, size);
    }
    long QueryValue(RegistryKeyHandle key, const char16_t* name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override {
        const Open* h = Check(key, 0x1);
        if (h == nullptr) {
            return kRegistryAccessDenied;
        }
        const MemoryValue* v = Find(keys.at(Folded(h->path)), name);
        return v == nullptr ? kRegistryNotFound : CopyData(*v, type, data, size);
    }
    long SetValue(RegistryKeyHandle key, const char16_t* name, uint32_t type, const uint8_t* data,
                  uint32_t size) override {
        const Open* h = Check(key, 0x2);
        if (h == nullptr || !Write()) {
            return kRegistryAccessDenied;
        }
        PutValue(h->path, name, type, std::vector<uint8_t>(data, data + size));
        return kRegistryOk;
    }
    long DeleteValue(RegistryKeyHandle key, const char16_t* name) override {
        const Open* h = Check(key, 0x2);
        if (h == nullptr || !Write()) {
            return kRegistryAccessDenied;
        }
        Key& k = keys.at(Folded(h->path));
        auto it = std::find_if(k.values.begin(), k.values.end(), [&](const MemoryValue& v) {
            return Folded(v.name) == Folded(name);
        });
        if (it == k.values.end()) {
            return kRegistryNotFound;
        }
        k.values.erase(it);
        return kRegistryOk;
    }

    size_t OpenHandles() const { return handles_.size(); }
    int badAccess = 0;  // operations refused for the handle's access mask

private:
    struct Open {
        std::u16string path;
        uint32_t access;
    };
    static Open* Handle(RegistryKeyHandle key) { return reinterpret_cast<Open*>(key); }

    bool Write() {
        ++writes;
        return failWrite == 0 || writes < failWrite || (writes > failWrite && !failOnward);
    }
    // Creates the key and every missing key above it.
    Key& Ensure(const std::u16string& path) {
        for (size_t at = path.find(u'\\'); at != std::u16string::npos;
             at = path.find(u'\\', at + 1)) {
            Key& parent = keys[Folded(path.substr(0, at))];
            if (parent.path.empty()) {
                parent.path = path.substr(0, at);
            }
        }
        Key& k = keys[Folded(path)];
        if (k.path.empty()) {
            k.path = path;
        }
        return k;
    }
    static MemoryValue* Find(Key& k, const std::u16string& name) {
        for (MemoryValue& v : k.values) {
            if (Folded(v.name) == Folded(name)) {
                return &v;
            }
        }
        return nullptr;
    }
    static const MemoryValue* Find(const Key& k, const std::u16string& name) {
        return Find(const_cast<Key&>(k), name);
    }
    long Hand(const std::u16string& path, uint32_t access, RegistryKeyHandle* key) {
        handles_.push_back(std::make_unique<Open>(Open{path, access}));
        *key = reinterpret_cast<RegistryKeyHandle>(handles_.back().get());
        return kRegistryOk;
    }
    const Open* Check(RegistryKeyHandle key, uint32_t right) {
        const Open* h = Handle(key);
        if ((h->access & right) == 0) {
            ++badAccess;
            return nullptr;
        }
        return h;
    }
    std::vector<std::u16string> Children(const std::u16string& path) const {
        std::u16string prefix = Folded(path) + u"\\";
        std::vector<std::u16string> out;
        for (const auto& [folded, key] : keys) {
            if (folded.rfind(prefix, 0) == 0 &&
                folded.find(u'\\', prefix.size()) == std::u16string::npos) {
                out.push_back(key.path.substr(prefix.size()));
            }
        }
        return out;
    }
    static long CopyName(const std::u16string& from, char16_t* name, uint32_t* chars) {
        if (from.size() + 1 > *chars) {
            return kRegistryMoreData;
        }
        std::copy(from.begin(), from.end(), name);
        name[from.size()] = 0;
        *chars = static_cast<uint32_t>(from.size());
        return kRegistryOk;
    }
    static long CopyData(const MemoryValue& v, uint32_t* type, uint8_t* data, uint32_t* size) {
        *type = v.type;
        uint32_t need = static_cast<uint32_t>(v.data.size());
        if (data != nullptr && need > *size) {
            *size = need;
            return kRegistryMoreData;
        }
        if (data != nullptr && need > 0) {
            std::memcpy(data, v.data.data(), need);
        }
        *size = need;
        return kRegistryOk;
    }

    std::vector<std::unique_ptr<Open>> handles_;
};

}  // namespace testing_support
}  // namespace pelmora
