// The messaging application's compose and sync requests on the emulated device: each one
// is appended to the profile's outbox journal ("outbox.jsonl", one JSON object a line), and
// with PELMORA_DEVICE_SHOW_COMPOSE=1 a compose request also opens a small window.
#include <new>
#include <string>
#include <vector>

#include "device/cemapi/stand_in_win32.h"
#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

const char16_t kConnectionsKey[] =
    u"Comm\\ConnMgr\\Providers\\{7C4B7A38-5FF7-4bc1-80F6-5DA7870BB1AA}\\Connections";
const char16_t kProxiesKey[] = u"Comm\\ConnMgr\\Providers\\{EF097F4C-DC4B-4c98-8FF6-AEF805DC0E8E}";

// A bounded read of caller text (the request is not ours to trust).
std::u16string CallerText(LPCWSTR text) {
    if (text == nullptr) {
        return {};
    }
    const char16_t* p = U(text);
    size_t n = 0;
    while (n < 1024 * 1024 && p[n] != 0) {
        ++n;
    }
    return std::u16string(p, n);
}

// The NUL-separated attachment list, as a JSON array (null when the request has none).
std::string AttachmentsJson(LPCWSTR list, UINT count) {
    if (list == nullptr) {
        return "null";
    }
    std::string out = "[";
    const char16_t* p = U(list);
    for (UINT i = 0; i < count && i < 64; ++i) {
        const std::u16string name = CallerText(W(p));
        out += (i > 0 ? ", " : "") + JsonQuote(name);
        p += name.size() + 1;
    }
    return out + "]";
}

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

// The compose window: a read-only view of the request, closed by the user.
LRESULT CALLBACK ComposeWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SIZE) {
        HWND edit = GetWindow(hwnd, GW_CHILD);
        if (edit != nullptr) {
            MoveWindow(edit, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        }
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void ShowComposeWindow(const MAILCOMPOSEFIELDS* f) {
    HINSTANCE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ShowComposeWindow), &module);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ComposeWindowProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"PelmoraDeviceCompose";
    RegisterClassW(&wc);  // fails harmlessly when already registered
    std::u16string text;
    const struct {
        const char16_t* label;
        LPCWSTR value;
    } lines[] = {{u"アカウント: ", f->pszAccount},
                 {u"宛先: ", f->pszTo},
                 {u"CC: ", f->pszCc},
                 {u"BCC: ", f->pszBcc},
                 {u"件名: ", f->pszSubject}};
    for (const auto& line : lines) {
        text += line.label + CallerText(line.value) + u"\r\n";
    }
    text += u"\r\n";
    for (char16_t c : CallerText(f->pszBody)) {
        if (c == u'\n' && (text.empty() || text.back() != u'\r')) {
            text += u'\r';
        }
        text += c;
    }
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"新規メッセージ", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                        CW_USEDEFAULT, CW_USEDEFAULT, 480, 640, nullptr, nullptr, module, nullptr);
    if (window == nullptr) {
        return;
    }
    RECT r;
    GetClientRect(window, &r);
    HWND edit = CreateWindowExW(
        0, L"EDIT", W(text.c_str()),
        WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
        r.right, r.bottom, window, nullptr, module, nullptr);
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
                 TRUE);
}

bool ShowCompose() {
    wchar_t buf[8];
    const DWORD n = GetEnvironmentVariableW(L"PELMORA_DEVICE_SHOW_COMPOSE", buf, 8);
    return n == 1 && buf[0] == L'1';
}

}  // namespace

}  // namespace pelmora::device

using namespace pelmora::device;
using pelmora::U;

namespace {

// Appends one request to the profile's journal unless the profile fails the call on demand.
// `describe` fills the line, or gives a failure status for a request it refuses.
template <typename Describe>
HRESULT JournalRequest(Fault Faults::*fault, Describe describe) {
    MarkLibraryUsed();
    try {
        std::u16string folder;
        if (!ProfileFolder(folder)) {
            return E_FAIL;
        }
        const Fault injected = ReadFaults(folder).*fault;
        if (injected.set) {
            return injected.status;
        }
        JsonObject line;
        const HRESULT hr = describe(line);
        if (FAILED(hr)) {
            return hr;
        }
        return AppendLine(folder + u"\\outbox.jsonl", line.Finish(true)) ? S_OK : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace

extern "C" HRESULT WINAPI MailComposeMessage(MAILCOMPOSEFIELDS* pmcf) {
    const HRESULT hr = JournalRequest(&Faults::compose, [pmcf](JsonObject& line) {
        line.Utf8("call", "MailComposeMessage");
        if (pmcf == nullptr) {
            line.Null("request");
            return S_OK;
        }
        if (pmcf->cbSize < sizeof(MAILCOMPOSEFIELDS)) {
            return E_INVALIDARG;
        }
        line.Number("flags", pmcf->dwFlags)
            .Text("account", U(pmcf->pszAccount))
            .Text("to", U(pmcf->pszTo))
            .Text("cc", U(pmcf->pszCc))
            .Text("bcc", U(pmcf->pszBcc))
            .Text("subject", U(pmcf->pszSubject))
            .Text("body", U(pmcf->pszBody))
            .Raw("attachments", AttachmentsJson(pmcf->pszAttachments, pmcf->cAttachments))
            .Number("attachmentCount", pmcf->cAttachments)
            .Text("messageClass", U(pmcf->pszMsgClass));
        return S_OK;
    });
    if (hr == S_OK && pmcf != nullptr && ShowCompose()) {
        try {
            ShowComposeWindow(pmcf);
        } catch (const std::bad_alloc&) {
            // The request is journalled; only its window is missing.
        }
    }
    return hr;
}

extern "C" HRESULT WINAPI MailSyncMessages(LPCWSTR pszAccount, DWORD dwFlags) {
    return JournalRequest(&Faults::sync, [pszAccount, dwFlags](JsonObject& line) {
        line.Utf8("call", "MailSyncMessages")
            .Text("account", U(pszAccount))
            .Number("flags", dwFlags)
            .Raw("routing", RoutingJson());
        return S_OK;
    });
}
