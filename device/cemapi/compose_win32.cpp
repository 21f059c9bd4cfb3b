// The messaging application's compose and sync requests on the emulated device: each one
// is appended to the profile's outbox journal ("outbox.jsonl", one JSON object a line), and
// with PELMORA_DEVICE_SHOW_COMPOSE=1 a compose request also opens a small window.
#include <new>
#include <string>
#include <vector>

#include "device/cemapi/stand_in_win32.h"
#include "device/device_files_win32.h"
#include "device/routing_json_win32.h"
#include "platform/owners.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

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

namespace {

// The sync itself, after its request has returned: it asks the Connection Manager for its
// connection, which is routed as the registry says at that moment.
DWORD WINAPI RunSync(LPVOID module) {
    Sleep(200);  // the request has long returned when the sync gets going
    try {
        std::u16string folder;
        if (ProfileFolder(folder)) {
            JsonObject line;
            line.Utf8("call", "SyncConnection").Raw("routing", RoutingJson());
            AppendLine(folder + u"\\outbox.jsonl", line.Finish(true));
            SetSyncConnection(RoutedDestination());
        }
    } catch (const std::bad_alloc&) {
        // No connection: the caller's wait runs out.
    }
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

}  // namespace

// "MailSyncMessages": asynchronous, it may return before the synchronization takes place.
extern "C" HRESULT WINAPI MailSyncMessages(LPCWSTR pszAccount, DWORD dwFlags) {
    const HRESULT hr = JournalRequest(&Faults::sync, [pszAccount, dwFlags](JsonObject& line) {
        line.Utf8("call", "MailSyncMessages")
            .Text("account", U(pszAccount))
            .Number("flags", dwFlags);
        return S_OK;
    });
    if (FAILED(hr)) {
        return hr;
    }
    DropSyncConnection();  // an earlier sync's connection is not this one's
    // The thread keeps this library loaded until it ends.
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&RunSync), &self)) {
        return E_FAIL;
    }
    HANDLE thread = CreateThread(nullptr, 0, RunSync, self, 0, nullptr);
    if (thread == nullptr) {
        FreeLibrary(self);
        return E_OUTOFMEMORY;
    }
    CloseHandle(thread);
    return S_OK;
}
