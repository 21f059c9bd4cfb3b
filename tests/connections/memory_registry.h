// An in-memory Connection Manager for the catalogue's rules: destinations and a registry
// that checks the access each handle was opened with.
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

    // Fixture building.
    void PutKey(const std::u16string& path) { Ensure(path); }
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
        return Hand(Ensure(path).path, access, key);
    }
    long DeleteKey(const char16_t* path) override {
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
    // Each operation needs its right in the mask the handle was opened with.
    long SubkeyCount(RegistryKeyHandle key, uint32_t* count) override {
        Key* k = Check(key, 0x1);
        *count = k != nullptr ? static_cast<uint32_t>(Children(k->path).size()) : 0;
        return k != nullptr ? kRegistryOk : kRegistryAccessDenied;
    }
    long EnumKey(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* chars) override {
        Key* k = Check(key, 0x8);
        std::vector<std::u16string> children;
        if (k != nullptr) {
            children = Children(k->path);
        }
        return k == nullptr               ? kRegistryAccessDenied
               : index >= children.size() ? kRegistryNoMoreItems
                                          : CopyName(children[index], name, chars);
    }
    long EnumValue(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* nameChars,
                   uint32_t* type, uint8_t* data, uint32_t* size) override {
        Key* k = Check(key, 0x1);
        if (k == nullptr || index >= k->values.size()) {
            return k == nullptr ? kRegistryAccessDenied : kRegistryNoMoreItems;
        }
        long status = CopyName(k->values[index].name, name, nameChars);
        return status != kRegistryOk ? status : CopyData(k->values[index], type, data, size);
    }
    long QueryValue(RegistryKeyHandle key, const char16_t* name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override {
        Key* k = Check(key, 0x1);
        MemoryValue* v = k != nullptr ? Find(*k, name) : nullptr;
        return k == nullptr   ? kRegistryAccessDenied
               : v == nullptr ? kRegistryNotFound
                              : CopyData(*v, type, data, size);
    }
    long SetValue(RegistryKeyHandle key, const char16_t* name, uint32_t type, const uint8_t* data,
                  uint32_t size) override {
        Key* k = Check(key, 0x2);
        if (k != nullptr) {
            PutValue(k->path, name, type, std::vector<uint8_t>(data, data + size));
        }
        return k != nullptr ? kRegistryOk : kRegistryAccessDenied;
    }
    long DeleteValue(RegistryKeyHandle key, const char16_t* name) override {
        Key* k = Check(key, 0x2);
        MemoryValue* v = k != nullptr ? Find(*k, name) : nullptr;
        if (v != nullptr) {
            k->values.erase(k->values.begin() + (v - k->values.data()));
        }
        return k == nullptr   ? kRegistryAccessDenied
               : v == nullptr ? kRegistryNotFound
                              : kRegistryOk;
    }

    size_t OpenHandles() const { return handles_.size(); }
    int badAccess = 0;  // operations refused for the handle's access mask

private:
    struct Open {
        std::u16string path;
        uint32_t access;
    };
    static Open* Handle(RegistryKeyHandle key) { return reinterpret_cast<Open*>(key); }

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
    long Hand(const std::u16string& path, uint32_t access, RegistryKeyHandle* key) {
        handles_.push_back(std::make_unique<Open>(Open{path, access}));
        *key = reinterpret_cast<RegistryKeyHandle>(handles_.back().get());
        return kRegistryOk;
    }
    Key* Check(RegistryKeyHandle key, uint32_t right) {
        const Open* h = Handle(key);
        badAccess += (h->access & right) == 0 ? 1 : 0;
        return (h->access & right) != 0 ? &keys.at(Folded(h->path)) : nullptr;
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
