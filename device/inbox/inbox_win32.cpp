// The emulated Inbox: loads the registered context-menu extensions through COM for the
// read view or the list view, gives them the selected message as their site, builds the
// context menu and invokes one item by its text, as the device's Inbox does. Headless by
// default (driven from a shell, reporting on stdout in UTF-8); --interactive shows a
// message list and a read view with the context menu.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "device/cemapi/device_profile.h"
#include "device/aygshell/device_screen.h"
#include "device/inbox/device_window_win32.h"
#include "device/inbox/inbox_host_win32.h"
#include "device/inbox/inbox_options.h"
#include "mime/parse_message.h"
#include "platform/owners.h"
#include "platform/wide.h"
#include "sdk/cemapi.h"
#include "text/utf8.h"

namespace pelmora::device {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNoSelection = 2;
constexpr int kExitNoItem = 3;

void Print(const std::string& utf8) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

void PrintError(const std::string& utf8) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

bool ReadFileBytes(const std::u16string& path, std::string& bytes) {
    FileHandle file(CreateFileW(W(path.c_str()), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    bytes.clear();
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    return true;
}

// The device's messages as the profile folder holds them.
struct MessageEntry {
    std::u16string name;
    std::u16string subject;
};

struct Store {
    StoreEntry entry;
    std::vector<MessageEntry> messages;
};

std::u16string ProfileFolder() {
    wchar_t buffer[1024];
    const DWORD n = GetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE", buffer, 1024);
    std::u16string folder = n > 0 && n < 1024 ? std::u16string(U(buffer), n) : std::u16string();
    while (!folder.empty() && (folder.back() == u'\\' || folder.back() == u'/')) {
        folder.pop_back();
    }
    return folder;
}

std::vector<MessageEntry> ListMessages(const std::u16string& storeFolder) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW found;
    const std::u16string pattern = storeFolder + u"\\*";
    HANDLE search = FindFirstFileW(W(pattern.c_str()), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::u16string name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
                MessageNameFromFile(U(found.cFileName), name)) {
                names.push_back(name);
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<MessageEntry> messages;
    for (const std::u16string& name : names) {
        MessageEntry entry{name, {}};
        std::string props;
        if (ReadFileBytes(storeFolder + u"\\" + name + u".props", props)) {
            const MessageProps parsed = ParseMessageProps(props);
            if (parsed.subject) {
                entry.subject = *parsed.subject;
            }
        }
        messages.push_back(entry);
    }
    return messages;
}

std::vector<Store> ReadProfile(const std::u16string& folder) {
    std::vector<Store> stores;
    std::string list;
    if (folder.empty() || !ReadFileBytes(folder + u"\\stores.txt", list)) {
        return stores;
    }
    for (StoreEntry& entry : ParseStoreList(list)) {
        Store store{entry, ListMessages(folder + u"\\" + WideFromUtf8(entry.folder))};
        stores.push_back(std::move(store));
    }
    return stores;
}

// Finds the store named on the command line: an index, a display name, or a folder name.
int FindStore(const std::vector<Store>& stores, const std::u16string& wanted) {
    if (wanted.empty()) {
        return stores.empty() ? -1 : 0;
    }
    uint32_t index = 0;
    if (ParseSmallNumber(wanted, index)) {
        return index < stores.size() ? static_cast<int>(index) : -1;
    }
    for (size_t i = 0; i < stores.size(); ++i) {
        if (stores[i].entry.name && *stores[i].entry.name == wanted) {
            return static_cast<int>(i);
        }
    }
    for (size_t i = 0; i < stores.size(); ++i) {
        if (WideFromUtf8(stores[i].entry.folder) == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int FindMessage(const Store& store, const std::u16string& wanted) {
    if (wanted.empty()) {
        return store.messages.empty() ? -1 : 0;
    }
    for (size_t i = 0; i < store.messages.size(); ++i) {
        if (store.messages[i].name == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string EntryIdOf(int storeIndex, const MessageEntry& message) {
    return MakeEntryId(static_cast<uint32_t>(storeIndex), Utf8FromWide(message.name));
}

std::u16string MenuText(HMENU menu, int position) {
    wchar_t text[256] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 256, MF_BYPOSITION);
    return U(text);
}

void PrintStores(const std::vector<Store>& stores) {
    for (size_t i = 0; i < stores.size(); ++i) {
        const Store& store = stores[i];
        Print("store " + std::to_string(i) + " " + store.entry.folder + " " +
              (store.entry.name ? Utf8FromWide(*store.entry.name) : std::string("(no name)")) +
              "\n");
        for (const MessageEntry& message : store.messages) {
            Print("message " + std::to_string(i) + " " + Utf8FromWide(message.name) + " " +
                  Utf8FromWide(message.subject) + "\n");
        }
    }
}

// The user and kernel time this process has used, in 100-nanosecond units.
uint64_t ProcessCpuTime() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0;
    }
    auto units = [](const FILETIME& t) {
        return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return units(kernel) + units(user);
}

// Invokes the item `options.repeat` more times, warm, and prints the time per command: wall
// clock, and this process's processor time (steadier on a busy machine).
void TimeRepeats(LoadedExtension& owner, const void* verb, const InboxOptions& options,
                 HRESULT first) {
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER start = {};
    LARGE_INTEGER stop = {};
    QueryPerformanceFrequency(&frequency);
    bool same = true;
    const uint64_t cpuStart = ProcessCpuTime();
    QueryPerformanceCounter(&start);
    for (uint32_t n = 0; n < options.repeat; ++n) {
        same = InvokeWithVerb(owner.menu.Get(), nullptr, verb, options.unaligned) == first && same;
    }
    QueryPerformanceCounter(&stop);
    const double ms = static_cast<double>(stop.QuadPart - start.QuadPart) * 1000.0 /
                      static_cast<double>(frequency.QuadPart) / options.repeat;
    const double cpuMs =
        static_cast<double>(ProcessCpuTime() - cpuStart) / 10000.0 / options.repeat;
    char text[128];
    std::snprintf(text, sizeof text, "repeat %lu %.3f ms per command (processor %.3f ms)%s\n",
                  static_cast<unsigned long>(options.repeat), ms, cpuMs,
                  same ? "" : " (a status differed)");
    Print(text);
}

// One headless pass: load the view's extensions, build the menu, print it, invoke one item.
int RunHeadless(const InboxOptions& options, const std::string& entryId) {
    ComPtr<InboxSite> site;
    site.Attach(new (std::nothrow) InboxSite(entryId, options.selection));
    if (!site || !site->Valid()) {
        PrintError("inbox: out of memory\n");
        return kExitUsage;
    }
    std::vector<LoadedExtension> extensions = LoadExtensions(options.view);
    for (const LoadedExtension& extension : extensions) {
        Print("extension " + Utf8FromWide(extension.classId) + " " + Hex(extension.created) + "\n");
    }
    HMENU menu = CreatePopupMenu();
    BuildMenu(extensions, options.site == SiteUse::None ? nullptr : site.Get(), menu);
    const int count = GetMenuItemCount(menu);
    int chosen = -1;
    for (int i = 0; i < count; ++i) {
        const std::u16string text = MenuText(menu, i);
        const bool grayed = (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) &
                             (MF_GRAYED | MF_DISABLED)) != 0;
        Print("item " + std::to_string(i) + " " + (grayed ? "grayed " : "enabled ") +
              Utf8FromWide(text) + "\n");
        if ((options.pickByText && text == options.itemText) ||
            (!options.pickByText && i == options.itemIndex)) {
            chosen = chosen < 0 ? i : chosen;
        }
    }
    int exitCode = kExitOk;
    if (options.pickByText || options.itemIndex >= 0) {
        LoadedExtension* owner =
            chosen < 0 ? nullptr : OwnerOf(extensions, GetMenuItemID(menu, chosen));
        if (owner == nullptr) {
            Print("status none\n");
            exitCode = kExitNoItem;
        } else if ((GetMenuState(menu, static_cast<UINT>(chosen), MF_BYPOSITION) &
                    (MF_GRAYED | MF_DISABLED)) != 0) {
            // As on the device, a grayed item cannot be chosen.
            Print("status grayed\n");
            exitCode = kExitNoItem;
        } else {
            if (options.site == SiteUse::Cleared && owner->withSite) {
                owner->withSite->SetSite(nullptr);
            }
            const std::u16string itemText = MenuText(menu, chosen);
            std::u16string verbText = itemText;
            const void* verb = nullptr;
            std::string described;
            switch (options.verbForm) {
                case VerbForm::ItemText:
                case VerbForm::Text:
                    if (options.verbForm == VerbForm::Text) {
                        verbText = options.verbText;
                    }
                    verb = verbText.c_str();
                    described = Utf8FromWide(verbText);
                    break;
                case VerbForm::Offset:
                    verb = MAKEINTRESOURCEA(options.verbOffset);
                    described = "offset " + std::to_string(options.verbOffset);
                    break;
                case VerbForm::Null:
                    described = "null";
                    break;
            }
            Print("invoke " + described + "\n");
            const HRESULT hr = InvokeWithVerb(owner->menu.Get(), nullptr, verb, options.unaligned);
            Print("status " + Hex(hr) + "\n");
            if (options.repeat > 0) {
                TimeRepeats(*owner, verb, options, hr);
            }
        }
    }
    for (LoadedExtension& extension : extensions) {
        if (extension.withSite) {
            extension.withSite->SetSite(nullptr);
        }
    }
    extensions.clear();
    DestroyMenu(menu);
    return exitCode;
}

// ---- Interactive: the handheld's screen with the message list and the read view. ----

constexpr int kListId = 1;
constexpr int kTextId = 2;

struct Ui {
    InboxOptions options;
    std::vector<Store> stores;
    int store = -1;
};

// Shows the view's context menu for the message and runs the chosen item with its text as
// the verb; what it did goes to stdout, as in the headless runs.
void ShowContextMenu(HWND window, InboxView view, const std::string& entryId, POINT at) {
    ComPtr<InboxSite> site;
    site.Attach(new (std::nothrow) InboxSite(entryId, SelectionShape::Message));
    if (!site || !site->Valid()) {
        return;
    }
    std::vector<LoadedExtension> extensions = LoadExtensions(view);
    HMENU menu = CreatePopupMenu();
    BuildMenu(extensions, site.Get(), menu);
    if (GetMenuItemCount(menu) == 0) {
        AppendMenuW(menu, MF_STRING | MF_GRAYED, 1, L"(メニュー項目なし)");
    }
    POINT where;
    const UINT placement = DeviceWindow::MenuPlacement(at, where);
    SetForegroundWindow(window);
    const UINT id = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | placement, where.x, where.y, 0, window, nullptr));
    LoadedExtension* owner = id != 0 ? OwnerOf(extensions, id) : nullptr;
    if (owner != nullptr) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, id, text, 256, MF_BYCOMMAND);
        Print("invoke " + Utf8FromWide(U(text)) + "\n");
        const HRESULT hr = InvokeWithVerb(owner->menu.Get(), window, text, false);
        Print("status " + Hex(hr) + "\n");
    }
    for (LoadedExtension& extension : extensions) {
        if (extension.withSite) {
            extension.withSite->SetSite(nullptr);
        }
    }
    DestroyMenu(menu);
}

// The read view: the message's sender and subject in the header, its text below, decoded
// as the device shows it.
class ReadScreen : public DeviceWindow {
public:
    // `raw`: the message's internet text as the store holds it.
    bool Open(HWND owner, const std::string& entryId, const std::string& raw) {
        entryId_ = entryId;
        if (Window() == nullptr && !Create(u"メッセージング", u"戻る", u"メニュー", owner)) {
            return false;
        }
        ParsedMessage parsed;
        ParseMessage(parsed, raw.data(), raw.size());
        const std::u16string body = parsed.body.Wide();
        if (content_ == nullptr) {
            const RECT rc = ContentArea();
            content_ = CreateWindowExW(
                0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, Window(),
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTextId)), nullptr, nullptr);
            SetContent(content_);
        }
        SetHeader(u"差出人: " + parsed.from.Wide() + u"\r\n件名: " + parsed.subject.Wide(), u"", 2);
        SetWindowTextW(content_, W(body.c_str()));
        ShowWindow(Window(), SW_SHOW);
        SetFocus(content_);
        return true;
    }

protected:
    // The message's text is read-only, but on white like any text the handheld shows.
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) override {
        handled = message == WM_CTLCOLORSTATIC;
        if (!handled) {
            return 0;
        }
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    void OnLeftSoftKey() override { OnDone(); }
    void OnContextMenu(POINT at) override {
        ShowContextMenu(Window(), InboxView::Read, entryId_, at);
    }
    void OnDestroy() override { content_ = nullptr; }

private:
    std::string entryId_;
    HWND content_ = nullptr;
};

// The message list of one store: subject over the message's name, two lines a message.
class ListScreen : public DeviceWindow {
public:
    explicit ListScreen(Ui& ui) : ui_(ui) {}

    bool Open() {
        if (!Create(u"メッセージング", u"開く", u"メニュー", nullptr)) {
            return false;
        }
        const RECT rc = ContentArea();
        list_ = CreateWindowExW(0, L"LISTBOX", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY |
                                    LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                                rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, Window(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kListId)), nullptr,
                                nullptr);
        if (list_ == nullptr) {
            return false;
        }
        SetContent(list_);
        const Store* store = CurrentStore();
        SetHeader(u"受信トレイ", store != nullptr && store->entry.name ? *store->entry.name : u"",
                  1);
        if (store != nullptr) {
            for (const MessageEntry& m : store->messages) {
                SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(m.name.c_str())));
            }
            SendMessageW(list_, LB_SETCURSEL, 0, 0);
        }
        ShowWindow(Window(), SW_SHOW);
        SetFocus(list_);
        return true;
    }

protected:
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
        handled = true;
        switch (message) {
            case WM_MEASUREITEM:
                reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 34;
                return TRUE;
            case WM_DRAWITEM:
                DrawMessage(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wParam) == kListId && HIWORD(wParam) == LBN_DBLCLK) {
                    OpenReadView();
                }
                return 0;
            default:
                handled = false;
                return 0;
        }
    }
    void OnLeftSoftKey() override { OpenReadView(); }
    void OnContextMenu(POINT at) override {
        const MessageEntry* message = Selected();
        ShowContextMenu(Window(), InboxView::List,
                        message != nullptr ? EntryIdOf(ui_.store, *message) : std::string(), at);
    }
    void OnDestroy() override { PostQuitMessage(0); }

private:
    const Store* CurrentStore() const {
        return ui_.store >= 0 ? &ui_.stores[static_cast<size_t>(ui_.store)] : nullptr;
    }
    const MessageEntry* Selected() const {
        const Store* store = CurrentStore();
        const LRESULT line = SendMessageW(list_, LB_GETCURSEL, 0, 0);
        return store != nullptr && line >= 0 && static_cast<size_t>(line) < store->messages.size()
                   ? &store->messages[static_cast<size_t>(line)]
                   : nullptr;
    }

    void DrawMessage(const DRAWITEMSTRUCT& item) {
        const Store* store = CurrentStore();
        if (store == nullptr || item.itemID >= store->messages.size()) {
            return;
        }
        const MessageEntry& m = store->messages[item.itemID];
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        FillRect(item.hDC, &item.rcItem,
                 GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        SetBkMode(item.hDC, TRANSPARENT);
        HGDIOBJ old = SelectObject(item.hDC, Font());
        const std::u16string subject = m.subject.empty() ? u"(件名なし)" : m.subject;
        RECT top = {item.rcItem.left + 4, item.rcItem.top + 2, item.rcItem.right - 4,
                    item.rcItem.top + 17};
        RECT bottom = {top.left + 8, top.bottom, top.right, item.rcItem.bottom - 1};
        SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        DrawTextW(item.hDC, W(subject.c_str()), -1, &top,
                  DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        SetTextColor(item.hDC, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : RGB(96, 96, 96));
        DrawTextW(item.hDC, W(m.name.c_str()), -1, &bottom,
                  DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
        RECT rule = {item.rcItem.left, item.rcItem.bottom - 1, item.rcItem.right,
                     item.rcItem.bottom};
        FillRect(item.hDC, &rule, GetSysColorBrush(COLOR_BTNFACE));
        SelectObject(item.hDC, old);
    }

    void OpenReadView() {
        const MessageEntry* message = Selected();
        const Store* store = CurrentStore();
        if (message == nullptr) {
            return;
        }
        const std::u16string folder = ProfileFolder() + u"\\" + WideFromUtf8(store->entry.folder);
        std::string raw;
        ReadFileBytes(folder + u"\\" + message->name + u".eml", raw);
        read_.Open(Window(), EntryIdOf(ui_.store, *message), raw);
    }

    Ui& ui_;
    HWND list_ = nullptr;
    ReadScreen read_;
};

int RunInteractive(Ui& ui) {
    ListScreen list(ui);
    if (!list.Open()) {
        return kExitUsage;
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return kExitOk;
}

int Run(const std::vector<std::u16string>& args) {
    InboxOptions options;
    std::u16string error;
    if (!ParseInboxOptions(args, options, error)) {
        PrintError("inbox: " + Utf8FromWide(error) + "\n" + kInboxUsage);
        return kExitUsage;
    }
    if (options.help) {
        Print(kInboxUsage);
        return kExitOk;
    }
    if (!options.profile.empty()) {
        wchar_t full[1024];
        const DWORD n = GetFullPathNameW(W(options.profile.c_str()), 1024, full, nullptr);
        SetEnvironmentVariableW(L"PELMORA_DEVICE_PROFILE",
                                n > 0 && n < 1024 ? full : W(options.profile.c_str()));
    }
    // The handheld has one file system root: paths without a drive, such as the
    // extension's settings file, mean the emulated device's C: drive.
    SetCurrentDirectoryW(L"C:\\");
    Ui ui;
    ui.stores = ReadProfile(ProfileFolder());
    if (options.listMessages) {
        PrintStores(ui.stores);
        return kExitOk;
    }
    ui.store = FindStore(ui.stores, options.store);
    ui.options = options;
    if (options.interactive) {
        return RunInteractive(ui);
    }
    int message = -1;
    if (ui.store >= 0) {
        message = FindMessage(ui.stores[static_cast<size_t>(ui.store)], options.message);
    }
    // A named store or message must exist; without one the menu is built with an empty
    // selection (the list view's command needs none).
    if ((!options.store.empty() && ui.store < 0) || (!options.message.empty() && message < 0)) {
        PrintError("inbox: no such store or message in the profile\n");
        return kExitNoSelection;
    }
    std::string entryId;
    std::string selected = "none";
    if (message >= 0) {
        const MessageEntry& entry =
            ui.stores[static_cast<size_t>(ui.store)].messages[static_cast<size_t>(message)];
        entryId = EntryIdOf(ui.store, entry);
        selected = std::to_string(ui.store) + " " + Utf8FromWide(entry.name);
    }
    Print("view " + std::string(options.view == InboxView::Read ? "read" : "list") + "\nselected " +
          selected + "\n");
    return RunHeadless(options, entryId);
}

}  // namespace

}  // namespace pelmora::device

int main() {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::vector<std::u16string> args;
    for (int i = 1; argv != nullptr && i < argc; ++i) {
        args.emplace_back(pelmora::U(argv[i]));
    }
    LocalFree(argv);
    // Under Wine a process whose first window is COM's hidden one gets no display, so the
    // desktop is asked for before COM starts. The Inbox's user-interface thread is a
    // single-threaded apartment.
    GetDesktopWindow();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        return 1;
    }
    // The Inbox starts the messaging subsystem before anything logs on, so the extensions
    // it loads find it started.
    if (MAPIInitialize(nullptr) != S_OK) {
        CoUninitialize();
        return 1;
    }
    int result = 1;
    try {
        result = pelmora::device::Run(args);
    } catch (const std::bad_alloc&) {
        result = 1;
    }
    MAPIUninitialize();
    CoUninitialize();
    return result;
}
