// An in-memory Connection Manager for the catalogue's rules: destinations, and keys by
// letter-case-folded path with their values in creation order. Access masks are left to
// the Windows build, which runs the same tests on the device's real registry. A key handle
// is an allocation of its own, so one left open is a leak the sanitizer reports.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
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
        c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    return s;
}

class MemoryConnectionManager : public DestinationSource, public ConnectionRegistry {
public:
    struct Key {
        std::u16string path;  // as created
        std::vector<MemoryValue> values;
    };
    std::map<std::u16string, Key> keys;
    std::vector<DestinationInfo> destinations;

    // Creates the key and every missing key above it.
    Key& PutKey(const std::u16string& path) {
        for (size_t at = 0; at != std::u16string::npos; at = path.find(u'\\', at + 1)) {
            const std::u16string part = at == 0 ? path : path.substr(0, at);
            Key& k = keys[Folded(part)];
            k.path = k.path.empty() ? part : k.path;
        }
        return keys[Folded(path)];
    }
    void PutValue(const std::u16string& path, const std::u16string& name, uint32_t type,
                  std::vector<uint8_t> data) {
        Key& k = PutKey(path);
        auto v = Find(k, name);
        v = v != k.values.end() ? v : k.values.insert(v, MemoryValue{name, type, {}});
        v->type = type;
        v->data = std::move(data);
    }

    bool EnumDestination(uint32_t index, DestinationInfo& info) override {
        return index < destinations.size() && (info = destinations[index], true);
    }
    int GuidText(const DestinationGuid& guid, char16_t* text, int chars) override {
        return FormatGuidText(guid, text, chars);
    }
    long OpenKey(const char16_t* path, uint32_t, RegistryKeyHandle* key) override {
        return keys.count(Folded(path)) != 0 ? Hand(path, key) : kRegistryNotFound;
    }
    long CreateKey(const char16_t* path, uint32_t, RegistryKeyHandle* key) override {
        return Hand(PutKey(path).path, key);
    }
    long DeleteKey(const char16_t* path) override {
        // The rules delete only keys without subkeys.
        return keys.erase(Folded(path)) != 0 ? kRegistryOk : kRegistryNotFound;
    }
    void CloseKey(RegistryKeyHandle key) override {
        delete reinterpret_cast<std::u16string*>(key);  // twice: a fault the sanitizer reports
    }
    long SubkeyCount(RegistryKeyHandle key, uint32_t* count) override {
        *count = static_cast<uint32_t>(Children(At(key).path).size());
        return kRegistryOk;
    }
    long EnumKey(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* chars) override {
        const std::vector<std::u16string> children = Children(At(key).path);
        return index < children.size() ? CopyName(children[index], name, chars)
                                       : kRegistryNoMoreItems;
    }
    long EnumValue(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* nameChars,
                   uint32_t* type, uint8_t* data, uint32_t* size) override {
        const std::vector<MemoryValue>& values = At(key).values;
        if (index >= values.size()) {
            return kRegistryNoMoreItems;
        }
        const long status = CopyName(values[index].name, name, nameChars);
        return status != kRegistryOk ? status : CopyData(values[index], type, data, size);
    }
    long QueryValue(RegistryKeyHandle key, const char16_t* name, uint32_t* type, uint8_t* data,
                    uint32_t* size) override {
        Key& k = At(key);
        auto v = Find(k, name);
        return v == k.values.end() ? kRegistryNotFound : CopyData(*v, type, data, size);
    }
    long SetValue(RegistryKeyHandle key, const char16_t* name, uint32_t type, const uint8_t* data,
                  uint32_t size) override {
        PutValue(At(key).path, name, type, std::vector<uint8_t>(data, data + size));
        return kRegistryOk;
    }
    long DeleteValue(RegistryKeyHandle key, const char16_t* name) override {
        Key& k = At(key);
        auto v = Find(k, name);
        return v == k.values.end() ? kRegistryNotFound : (k.values.erase(v), kRegistryOk);
    }
    long Flush() override { return kRegistryOk; }

private:
    Key& At(RegistryKeyHandle key) { return keys.at(*reinterpret_cast<std::u16string*>(key)); }
    static std::vector<MemoryValue>::iterator Find(Key& k, const std::u16string& name) {
        return std::find_if(k.values.begin(), k.values.end(),
                            [&](const MemoryValue& v) { return Folded(v.name) == Folded(name); });
    }
    static long Hand(const std::u16string& path, RegistryKeyHandle* key) {
        *key = reinterpret_cast<RegistryKeyHandle>(new std::u16string(Folded(path)));
        return kRegistryOk;
    }
    std::vector<std::u16string> Children(const std::u16string& path) const {
        const std::u16string prefix = Folded(path) + u"\\";
        std::vector<std::u16string> out;
        for (const auto& [folded, key] : keys) {
            if (folded.rfind(prefix, 0) == 0 && folded.find(u'\\', prefix.size()) == folded.npos) {
                out.push_back(key.path.substr(prefix.size()));
            }
        }
        return out;
    }
    static long CopyName(const std::u16string& from, char16_t* name, uint32_t* chars) {
        if (from.size() + 1 > *chars) {
            return kRegistryMoreData;
        }
        std::memcpy(name, from.c_str(), (from.size() + 1) * sizeof(char16_t));
        *chars = static_cast<uint32_t>(from.size());
        return kRegistryOk;
    }
    static long CopyData(const MemoryValue& v, uint32_t* type, uint8_t* data, uint32_t* size) {
        const bool fits = v.data.size() <= *size;
        if (fits) {
            std::copy(v.data.begin(), v.data.end(), data);
        }
        *type = v.type;
        *size = static_cast<uint32_t>(v.data.size());
        return fits ? kRegistryOk : kRegistryMoreData;
    }
};

}  // namespace testing_support
}  // namespace pelmora
