// A device for the connection rules: three destinations over the in-memory registry, with
// the connections and proxy entries a case asks for.
#pragma once

#include <string>
#include <vector>

#include "tests/connections/memory_registry.h"

namespace pelmora {
namespace testing_support {

// Destinations 0 "インターネット", 1 "会社", 2 "予備"; a connection names one by index, or
// by index + 10 for the identifier text in lower case.
inline const char16_t* const kDescriptions[] = {u"インターネット", u"会社", u"予備"};

inline std::u16string IdText(int dest) {
    DestinationGuid guid = {0xA0B1C2D3u + static_cast<uint32_t>(dest % 10),
                            0x1E2F,
                            0xABCD,
                            {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01, 0x02, 0x0F}};
    char16_t text[64];
    FormatGuidText(guid, text, 64);
    std::u16string s(text);
    if (dest >= 10) {
        for (char16_t& c : s) {
            c = (c >= u'A' && c <= u'F') ? static_cast<char16_t>(c + 32) : c;
        }
    }
    return s;
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

struct Conn {
    const char16_t* name;
    uint32_t enabled;
    int dest;
};
struct Proxy {
    int dest;
    const char16_t* proxy;  // null: a key with no values
};

class Device : public MemoryConnectionManager {
public:
    Device(const std::vector<Conn>& conns, const std::vector<Proxy>& proxies) {
        for (int i = 0; i < 3; ++i) {
            DestinationInfo info{};
            info.guid = {0xA0B1C2D3u + static_cast<uint32_t>(i),
                         0x1E2F,
                         0xABCD,
                         {0xDE, 0xAD, 0xBE, 0xEF, 0x00, 0x01, 0x02, 0x0F}};
            std::u16string d = kDescriptions[i];
            std::copy(d.begin(), d.end(), info.description);
            destinations.push_back(info);
        }
        for (const Conn& c : conns) {
            std::u16string path = std::u16string(kConnectionsKeyPath) + u"\\" + c.name;
            PutValue(path, u"Enabled", kRegistryDword, Dword(c.enabled));
            PutValue(path, u"DestId", kRegistryString, Bytes(IdText(c.dest)));
        }
        for (const Proxy& p : proxies) {
            std::u16string path = std::u16string(kProxyKeyPrefix) + IdText(p.dest);
            keys[testing_support::Folded(path)].path = path;
            if (p.proxy != nullptr) {
                PutValue(path, u"Proxy", kRegistryString, Bytes(p.proxy));
                PutValue(path, u"SrcId", kRegistryString, Bytes(IdText(p.dest)));
                PutValue(path, u"Enable", kRegistryDword, Dword(1));
            }
        }
    }

    // The routing at a glance: which destinations carry a proxy entry (and its "Proxy"),
    // then every connection's "Enabled" number.
    std::u16string Compact() const {
        std::u16string out;
        for (int i = 0; i < 3; ++i) {
            auto key = keys.find(Folded(std::u16string(kProxyKeyPrefix) + IdText(i)));
            if (key == keys.end()) {
                continue;
            }
            out += std::u16string(u"proxy:") + kDescriptions[i] + u"(";
            for (const MemoryValue& v : key->second.values) {
                if (v.name == u"Proxy" && v.data.size() >= 2) {
                    out.append(reinterpret_cast<const char16_t*>(v.data.data()),
                               v.data.size() / 2 - 1);
                }
            }
            out += u") ";
        }
        std::u16string prefix = Folded(std::u16string(kConnectionsKeyPath) + u"\\");
        for (const auto& [folded, key] : keys) {
            if (folded.rfind(prefix, 0) != 0) {
                continue;
            }
            for (const MemoryValue& v : key.values) {
                if (v.name == u"Enabled" && !v.data.empty()) {
                    out += key.path.substr(prefix.size()) + u"=" +
                           static_cast<char16_t>(u'0' + v.data[0]) + u" ";
                }
            }
        }
        return out;
    }
};

}  // namespace testing_support
}  // namespace pelmora
