// The Connection Manager's routing as the emulated device's journal records it.
#include "device/routing_json_win32.h"

#include <string>
#include <vector>

#include "device/cemapi/device_profile.h"
#include "device/device_files_win32.h"
#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

const char16_t kConnectionsKey[] =
    u"Comm\\ConnMgr\\Providers\\{7C4B7A38-5FF7-4bc1-80F6-5DA7870BB1AA}\\Connections";
const char16_t kProxiesKey[] = u"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";

std::u16string ReadString(HKEY key, const char16_t* name, bool& found) {
    wchar_t buf[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof buf - sizeof(wchar_t);
    found = RegQueryValueExW(key, W(name), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size) ==
                ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ);
    if (!found) {
        return {};
    }
    std::u16string text(U(buf), size / sizeof(wchar_t));
    while (!text.empty() && text.back() == 0) {
        text.pop_back();
    }
    return text;
}

void AddOptionalString(JsonObject& o, const char* key, HKEY hkey, const char16_t* name) {
    bool found = false;
    const std::u16string v = ReadString(hkey, name, found);
    if (found) {
        o.Text(key, v);
    } else {
        o.Null(key);
    }
}

// Calls visit(name, key) for each subkey of HKLM\path that opens for reading.
template <typename Visit>
void ForEachSubkey(const char16_t* path, Visit visit) {
    RegKey parent;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, W(path), 0, KEY_READ, parent.Put()) != ERROR_SUCCESS) {
        return;
    }
    for (DWORD i = 0; i < 1024; ++i) {
        wchar_t name[260];
        DWORD n = 260;
        const LONG r = RegEnumKeyExW(parent.Get(), i, name, &n, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_NO_MORE_ITEMS) {
            break;
        }
        RegKey child;
        if (r != ERROR_SUCCESS ||
            RegOpenKeyExW(parent.Get(), name, 0, KEY_READ, child.Put()) != ERROR_SUCCESS) {
            continue;
        }
        visit(std::u16string(U(name), n), child.Get());
    }
}

std::string JoinJson(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) {
        out += (i > 0 ? ", " : "") + items[i];
    }
    return out + "]";
}

// Which connections are enabled and which destinations carry an HTTP proxy entry, as the
// registry holds them right now.
}  // namespace

std::string RoutingJson() {
    std::vector<std::string> connections;
    ForEachSubkey(kConnectionsKey, [&](const std::u16string& name, HKEY key) {
        JsonObject o;
        o.Text("name", name);
        BYTE value[260] = {};
        DWORD size = sizeof value;
        if (RegQueryValueExW(key, L"Enabled", nullptr, nullptr, value, &size) == ERROR_SUCCESS &&
            size >= 4) {
            o.Number("enabled", value[0] | (value[1] << 8) | (value[2] << 16) |
                                    (static_cast<DWORD>(value[3]) << 24));
        } else {
            o.Null("enabled");
        }
        AddOptionalString(o, "destId", key, u"DestId");
        connections.push_back(o.Finish());
    });
    std::vector<std::string> proxies;
    ForEachSubkey(kProxiesKey, [&](const std::u16string& name, HKEY key) {
        if (name.compare(0, 5, u"HTTP-") != 0) {
            return;
        }
        JsonObject o;
        o.Text("destination", name.substr(5));
        AddOptionalString(o, "srcId", key, u"SrcId");
        AddOptionalString(o, "destId", key, u"DestId");
        AddOptionalString(o, "proxy", key, u"Proxy");
        proxies.push_back(o.Finish());
    });
    return JsonObject()
        .Raw("connections", JoinJson(connections))
        .Raw("proxies", JoinJson(proxies))
        .Finish();
}

std::u16string RoutedDestination() {
    std::u16string first;
    ForEachSubkey(kProxiesKey, [&](const std::u16string& name, HKEY) {
        if (first.empty() && name.compare(0, 5, u"HTTP-") == 0) {
            first = name.substr(5);
        }
    });
    return first;
}

namespace {

std::u16string ConnectedFile() {
    std::u16string folder;
    return ProfileFolder(folder) ? folder + u"\\connected.txt" : std::u16string();
}

}  // namespace

bool SetSyncConnection(const std::u16string& destination) {
    const std::u16string file = ConnectedFile();
    std::string text(destination.begin(), destination.end());  // identifier text is ASCII
    return !file.empty() && AppendLine(file, text);
}

void DropSyncConnection() {
    const std::u16string file = ConnectedFile();
    if (!file.empty()) {
        DeleteFileW(W(file.c_str()));
    }
}

bool SyncConnection(std::u16string& destination) {
    std::string text;
    const std::u16string file = ConnectedFile();
    if (file.empty() || !ReadWholeFile(file, text) || text.empty()) {
        return false;
    }
    destination.assign(text.begin(), text.end());
    return true;
}

}  // namespace pelmora::device
