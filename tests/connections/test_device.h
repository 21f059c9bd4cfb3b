// A device for the connection rules: three destinations with the connections and proxy
// entries a case asks for, in memory (native build) or in the real registry (Windows build).
#pragma once

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "tests/connections/memory_registry.h"

#ifdef _WIN32
#include <windows.h>

#include "connections/connection_manager_win32.h"
#endif

namespace pelmora {
namespace testing_support {

// Destinations 0 "インターネット", 1 "会社", 2 "予備"; a connection names one by index, or
// by index + 10 for the identifier text in lower case.
inline const char16_t* const kDescriptions[] = {u"インターネット", u"会社", u"予備"};

inline DestinationGuid Guid(int dest) {
    return {0xA0B1C2D3u + static_cast<uint32_t>(dest % 10),
            0x1E2F,
            0xABCD,
            {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01, 0x02, 0x0F}};
}

inline std::u16string IdText(int dest) {
    char16_t text[64];
    FormatGuidText(Guid(dest), text, 64);
    return dest >= 10 ? Folded(text) : text;
}

inline std::u16string Wide(const std::string& ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

// Registry data as the little-endian targets hold it.
inline std::vector<uint8_t> Bytes(const std::u16string& text, bool terminated = true) {
    const auto* p = reinterpret_cast<const uint8_t*>(text.c_str());
    return std::vector<uint8_t>(p, p + (text.size() + (terminated ? 1 : 0)) * 2);
}
inline std::vector<uint8_t> Dword(uint32_t n) {
    const auto* p = reinterpret_cast<const uint8_t*>(&n);
    return std::vector<uint8_t>(p, p + 4);
}

// Counts the registry's writes (set, delete, create); the N-th fails, once or from then on.
// Knows whether a write came after the last flush.
template <typename Registry>
class FailingWrites : public Registry {
public:
    int failWrite = 0;  // 0: none
    bool failOnward = false;
    int writes = 0;
    bool unflushed = false;
    bool failValueEnum = false;  // no key's values can be listed

    long EnumValue(RegistryKeyHandle key, uint32_t index, char16_t* name, uint32_t* nameChars,
                   uint32_t* type, uint8_t* data, uint32_t* size) override {
        return failValueEnum ? kRegistryAccessDenied
                             : Registry::EnumValue(key, index, name, nameChars, type, data, size);
    }

    long Flush() override {
        unflushed = false;
        return Registry::Flush();
    }
    long CreateKey(const char16_t* path, uint32_t access, RegistryKeyHandle* key) override {
        return Write() ? Registry::CreateKey(path, access, key) : kRegistryAccessDenied;
    }
    long DeleteKey(const char16_t* path) override {
        return Write() ? Registry::DeleteKey(path) : kRegistryAccessDenied;
    }
    long SetValue(RegistryKeyHandle key, const char16_t* name, uint32_t type, const uint8_t* data,
                  uint32_t size) override {
        return Write() ? Registry::SetValue(key, name, type, data, size) : kRegistryAccessDenied;
    }
    long DeleteValue(RegistryKeyHandle key, const char16_t* name) override {
        return Write() ? Registry::DeleteValue(key, name) : kRegistryAccessDenied;
    }

private:
    bool Write() {
        ++writes;
        const bool ok = failWrite == 0 || writes < failWrite || (writes > failWrite && !failOnward);
        unflushed = unflushed || ok;
        return ok;
    }
};

// Everything under HKLM\Comm\ConnMgr as text: keys in enumeration order, each value with
// its type and bytes.
inline std::string DumpKey(ConnectionRegistry& registry,
                           const std::u16string& path = u"Comm\\ConnMgr") {
    OpenRegistryKey key(registry);
    if (!key.Open(path.c_str(), kKeyRead)) {
        return "";
    }
    std::string out = ToMultibyte(path) + "\n";
    char16_t name[512];
    uint8_t data[2048];
    for (uint32_t i = 0;; ++i) {
        uint32_t chars = 512, size = sizeof data, type = 0;
        if (registry.EnumValue(key.Get(), i, name, &chars, &type, data, &size) != kRegistryOk) {
            break;
        }
        out += "  " + ToMultibyte(std::u16string(name, chars)) + " " + std::to_string(type) + ":";
        for (uint32_t b = 0; b < size; ++b) {
            out += " " + std::to_string(data[b]);
        }
        out += "\n";
    }
    for (uint32_t i = 0;; ++i) {
        uint32_t chars = 512;
        if (registry.EnumKey(key.Get(), i, name, &chars) != kRegistryOk) {
            break;
        }
        out += DumpKey(registry, path + u"\\" + std::u16string(name, chars));
    }
    return out;
}

// The names listed, the routing in force ("-": none) and the proxy entry to copy.
inline std::u16string Summary(const ConnectionCatalogue& catalogue) {
    std::u16string s;
    for (const DualString& name : catalogue.ConnectionNames()) {
        s += name.Wide() + u" ";
    }
    DualString description, connection;
    s += catalogue.CurrentRouting(description, connection)
             ? u"| " + description.Wide() + u"/" + connection.Wide()
             : u"| -";
    return s + u" | " + catalogue.ProxyTemplate().proxy.Wide();
}

// Three destinations and the connections and proxy entries a case asks for, kept in memory
// and, on the Windows build, written into the device's real registry when first used.
class Device : public FailingWrites<MemoryConnectionManager> {
public:
    // `layout`: connections "name=enabled@destination" and proxy entries "destination:proxy"
    // ("-": a key without values), space-separated. ASCII names and proxies.
    explicit Device(const std::string& layout) {
        for (int i = 0; i < 3; ++i) {
            DestinationInfo info{};
            info.guid = Guid(i);
            std::u16string d = kDescriptions[i];
            std::copy(d.begin(), d.end(), info.description);
            destinations.push_back(info);
        }
        std::istringstream in(layout);
        for (std::string t; in >> t;) {
            const size_t eq = t.find('='), colon = t.find(':');
            if (colon == std::string::npos) {
                std::u16string path = kConnectionsKeyPath + (u"\\" + Wide(t.substr(0, eq)));
                PutValue(path, u"Enabled", kRegistryDword, Dword(std::stoul(t.substr(eq + 1))));
                PutValue(path, u"DestId", kRegistryString,
                         Bytes(IdText(std::stoi(t.substr(t.find('@') + 1)))));
                continue;
            }
            const int dest = std::stoi(t);
            const std::string proxy = t.substr(colon + 1);
            std::u16string path = kProxyKeyPrefix + IdText(dest);
            PutKey(path);
            if (proxy != "-") {
                // What a switch writes, in its order: an entry it made compares byte for byte.
                const char16_t* names[] = {u"ConnectionGUID", u"ExtraInfo", u"Override",
                                           u"Username",       u"Proxy",     u"DestId"};
                const std::string texts[] = {"c" + proxy, "", "", "", proxy, "d" + proxy};
                for (int i = 0; i < 6; ++i) {
                    PutValue(path, names[i], kRegistryString, Bytes(Wide(texts[i])));
                }
                PutValue(path, u"SrcId", kRegistryString, Bytes(IdText(dest)));
                PutValue(path, u"Enable", kRegistryDword, Dword(1));
                PutValue(path, u"Type", kRegistryDword, Dword(2));
            }
        }
    }

    // The registry the rules run against, with its write counter and failure switch; on
    // the Windows build the device's real registry, filled from this one when first used.
#ifdef _WIN32
    FailingWrites<DeviceConnectionManager>& Registry() {
        if (!filled_) {
            filled_ = true;
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Comm\\ConnMgr");
            for (const auto& [folded, key] : keys) {
                OpenRegistryKey k(real_);
                k.Create(key.path.c_str(), kKeyAllAccess);
                for (const MemoryValue& v : key.values) {
                    real_.SetValue(k.Get(), v.name.c_str(), v.type, v.data.data(),
                                   static_cast<uint32_t>(v.data.size()));
                }
            }
            real_.writes = 0;
            real_.unflushed = false;
        }
        return real_;
    }

private:
    FailingWrites<DeviceConnectionManager> real_;
    bool filled_ = false;
#else
    FailingWrites<MemoryConnectionManager>& Registry() {
        return *this;
    }
#endif
};

}  // namespace testing_support
}  // namespace pelmora
