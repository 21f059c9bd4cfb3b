// A device for the connection rules: three destinations with the connections and proxy
// entries a case asks for, in memory (native build) or in the real registry (Windows build).
#pragma once

#include <algorithm>
#include <cstring>
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

inline std::vector<uint8_t> Bytes(const std::u16string& text, bool terminated = true) {
    std::vector<uint8_t> b;
    for (char16_t c : text) {
        b.push_back(static_cast<uint8_t>(c & 0xFF));
        b.push_back(static_cast<uint8_t>(c >> 8));
    }
    if (terminated) {
        b.insert(b.end(), {0, 0});
    }
    return b;
}
inline std::vector<uint8_t> Dword(uint32_t n) {
    return {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n >> 16),
            static_cast<uint8_t>(n >> 24)};
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

// The routing value by value: each connection's "Enabled" number in enumeration order, then
// each proxy key with its values (texts and numbers); identifier texts shown as #0, #1, #2.
inline std::string RoutingValues(ConnectionRegistry& registry) {
    auto shown = [](std::u16string text) {
        for (int d = 0; d < 3; ++d) {
            for (const std::u16string& id : {IdText(d), IdText(d + 10)}) {
                for (size_t at; (at = text.find(id)) != std::u16string::npos;) {
                    text.replace(at, id.size(), u"#" + Wide(std::to_string(d)));
                }
            }
        }
        return ToMultibyte(text);
    };
    auto each = [&](const std::u16string& path, auto visit) {
        OpenRegistryKey parent(registry);
        char16_t name[512];
        for (uint32_t i = 0; parent.Get() != nullptr || parent.Open(path.c_str(), kKeyRead); ++i) {
            uint32_t chars = 512;
            if (registry.EnumKey(parent.Get(), i, name, &chars) != kRegistryOk) {
                break;
            }
            OpenRegistryKey key(registry);
            const std::u16string leaf(name, chars);
            if (key.Open((path + u"\\" + leaf).c_str(), kKeyRead)) {
                visit(leaf, key.Get());
            }
        }
    };
    auto value = [&](uint32_t type, const uint8_t* data, uint32_t size) {
        std::u16string text;
        for (uint32_t b = 0; b + 1 < size && (data[b] | data[b + 1]) != 0; b += 2) {
            text.push_back(static_cast<char16_t>(data[b] | (data[b + 1] << 8)));
        }
        uint32_t n = 0;
        std::memcpy(&n, data, std::min<uint32_t>(size, 4));
        return type == kRegistryString ? shown(text) : std::to_string(n);
    };
    std::string out;
    each(kConnectionsKeyPath, [&](const std::u16string& name, RegistryKeyHandle key) {
        uint8_t data[260];
        uint32_t type = 0, size = sizeof data;
        out += ToMultibyte(name) + "=";
        out += registry.QueryValue(key, u"Enabled", &type, data, &size) == kRegistryOk
                   ? value(kRegistryDword, data, size)
                   : "-";
        out += " ";
    });
    const std::u16string prefix = kProxyKeyPrefix;
    each(prefix.substr(0, prefix.rfind(u'\\')), [&](const std::u16string& name,
                                                    RegistryKeyHandle key) {
        out += "| " + shown(name) + " ";
        char16_t valueName[64];
        uint8_t data[1024];
        std::vector<std::string> values;  // by name: the enumeration order is the registry's
        for (uint32_t i = 0;; ++i) {
            uint32_t chars = 64, size = sizeof data, type = 0;
            if (registry.EnumValue(key, i, valueName, &chars, &type, data, &size) != kRegistryOk) {
                break;
            }
            values.push_back(ToMultibyte(std::u16string(valueName, chars)) + "=" +
                             value(type, data, size) + " ");
        }
        std::sort(values.begin(), values.end());
        for (const std::string& v : values) {
            out += v;
        }
    });
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
    // `conns`: "name=enabled@destination ..."; `proxies`: "destination:proxy ..." with "-" for
    // a key without values. ASCII names and proxies.
    Device(const std::string& conns, const std::string& proxies) {
        for (int i = 0; i < 3; ++i) {
            DestinationInfo info{};
            info.guid = Guid(i);
            std::u16string d = kDescriptions[i];
            std::copy(d.begin(), d.end(), info.description);
            destinations.push_back(info);
        }
        std::istringstream c(conns), p(proxies);
        for (std::string t; c >> t;) {
            const size_t eq = t.find('='), at = t.find('@');
            std::u16string path = kConnectionsKeyPath + (u"\\" + Wide(t.substr(0, eq)));
            PutValue(path, u"Enabled", kRegistryDword, Dword(std::stoul(t.substr(eq + 1, at))));
            PutValue(path, u"DestId", kRegistryString, Bytes(IdText(std::stoi(t.substr(at + 1)))));
        }
        for (std::string t; p >> t;) {
            const int dest = std::stoi(t);
            const std::string proxy = t.substr(t.find(':') + 1);
            std::u16string path = kProxyKeyPrefix + IdText(dest);
            PutKey(path);
            if (proxy != "-") {
                PutValue(path, u"ConnectionGUID", kRegistryString, Bytes(Wide("c" + proxy)));
                PutValue(path, u"Proxy", kRegistryString, Bytes(Wide(proxy)));
                PutValue(path, u"DestId", kRegistryString, Bytes(Wide("d" + proxy)));
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
