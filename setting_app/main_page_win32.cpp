#include "setting_app/main_page_win32.h"

#include <new>
#include <string>

#include "accounts/account_catalogue.h"
#include "dialog_layout/dialog_builder_win32.h"
#include "platform/wide.h"
#include "setting_app/connection_names_win32.h"
#include "setting_app/resource.h"

namespace pelmora {
namespace {

constexpr uint16_t kButton = 0x80;
constexpr uint16_t kEdit = 0x81;
constexpr uint16_t kListBox = 0x83;
constexpr uint16_t kComboBox = 0x85;

// The page's controls in creation order; read by the Tab walk.
std::vector<ControlRecord> g_controls;

bool IsFocusCandidate(const ControlRecord& c) {
    return c.classOrdinal == kButton || c.classOrdinal == kEdit || c.classOrdinal == kListBox ||
           c.classOrdinal == kComboBox;
}

bool IsPushButton(const ControlRecord& c) {
    return c.classOrdinal == kButton && (GetWindowLongPtrW(c.window, GWL_STYLE) & 0x2) == 0;
}

bool Checked(HWND window, int id) {
    return SendDlgItemMessageW(window, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Fills `list` and enables it with its box, item 0 selected; without a choice both are
// disabled.
void FillChoice(HWND window, int boxId, int listId, const std::vector<DualString>& items,
                bool available) {
    HWND list = GetDlgItem(window, listId);
    for (const DualString& item : items) {
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(item)));
    }
    EnableWindow(GetDlgItem(window, boxId), available);
    EnableWindow(list, available);
    if (available) {
        SendMessageW(list, CB_SETCURSEL, 0, 0);
    }
}

std::u16string ItemText(HWND list, LRESULT index) {
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR) {
        return {};
    }
    std::u16string text(static_cast<size_t>(length) + 1, u'\0');
    const LRESULT got = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                     reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == CB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

// The item that equals `name` code unit by code unit, as the extension matches connection
// names; failing that the first item that begins with it (letter case ignored); failing
// that item 0. A name that only prefixes an earlier item must not select that item, or
// "OK" would change the automatic connection unasked.
LRESULT ItemForName(HWND list, const DualString& name) {
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (ItemText(list, i) == name.Wide()) {
            return i;
        }
    }
    const LRESULT found = SendMessageW(list, CB_FINDSTRING, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(W(name)));
    return found == CB_ERR ? 0 : found;
}

LRESULT CALLBACK TabProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    size_t index = g_controls.size();
    for (size_t i = 0; i < g_controls.size() && index == g_controls.size(); ++i) {
        if (g_controls[i].window == window) {
            index = i;
        }
    }
    for (size_t i = 0; i < g_controls.size() && index == g_controls.size(); ++i) {
        if (g_controls[i].innerWindow == window) {
            index = i;
        }
    }
    if (index == g_controls.size()) {
        return 0;
    }
    const ControlRecord& self = g_controls[index];
    if (message != WM_CHAR || wParam != 9) {
        const WNDPROC previous = self.window == window ? self.previousProc : self.innerPreviousProc;
        return CallWindowProcW(previous, window, message, wParam, lParam);
    }
    if (IsPushButton(self)) {
        SendMessageW(self.window, BM_SETSTATE, FALSE, 0);
    }
    size_t next = index;
    do {
        next = (next + 1) % g_controls.size();
    } while (!IsFocusCandidate(g_controls[next]) && g_controls[next].window != window);
    const ControlRecord& target = g_controls[next];
    if (IsPushButton(target)) {
        SendMessageW(target.window, BM_SETSTATE, TRUE, 0);
    }
    SetFocus(target.window);
    return 0;
}

void HookTabWalk() {
    for (ControlRecord& c : g_controls) {
        if (!IsFocusCandidate(c)) {
            continue;
        }
        const bool inner = c.classOrdinal == kComboBox && c.window != nullptr &&
                           (GetWindowLongPtrW(c.window, GWL_STYLE) & 3) == 0;
        HWND target = inner ? c.innerWindow : c.window;
        if (target == nullptr) {
            continue;
        }
        const auto previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(target, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TabProc)));
        (inner ? c.innerPreviousProc : c.previousProc) = previous;
    }
}

}  // namespace

void BuildMainPage(HINSTANCE instance, HWND window, std::vector<GdiObject>& fonts) {
    try {
        DialogTemplate page;
        if (BuildDialogControls(page, instance, window, IDD_MAIN_PAGE, &g_controls, fonts)) {
            std::vector<DualString> connections;
            const bool anyDestination = ListConnectionNames(connections);
            FillChoice(window, IDC_CONNECT_CHECK, IDC_CONNECT_LIST, connections, anyDestination);
            std::vector<DualString> accounts;
            ListSettingProgramAccounts(accounts);
            FillChoice(window, IDC_ACCOUNT_CHECK, IDC_ACCOUNT_LIST, accounts, !accounts.empty());
        }
    } catch (const std::bad_alloc&) {
        // The page shows what was built.
    }
    HookTabWalk();
    SetFocus(GetDlgItem(window, IDC_CONNECT_CHECK));
}

void CopyRecordToPage(HWND window, const SettingsRecord& record) {
    HWND connections = GetDlgItem(window, IDC_CONNECT_LIST);
    if (IsWindowEnabled(GetDlgItem(window, IDC_CONNECT_CHECK))) {
        const bool on =
            SendMessageW(connections, CB_GETCOUNT, 0, 0) > 0 && !record.connectName.Empty();
        SendDlgItemMessageW(window, IDC_CONNECT_CHECK, BM_SETCHECK,
                            on ? BST_CHECKED : BST_UNCHECKED, 0);
        EnableWindow(connections, on);
        if (on) {
            SendMessageW(connections, CB_SETCURSEL,
                         static_cast<WPARAM>(ItemForName(connections, record.connectName)), 0);
        }
    }
    HWND accounts = GetDlgItem(window, IDC_ACCOUNT_LIST);
    if (IsWindowEnabled(GetDlgItem(window, IDC_ACCOUNT_CHECK))) {
        const bool on = record.resAccountIndex >= 0 &&
                        record.resAccountIndex < SendMessageW(accounts, CB_GETCOUNT, 0, 0);
        SendDlgItemMessageW(window, IDC_ACCOUNT_CHECK, BM_SETCHECK,
                            on ? BST_CHECKED : BST_UNCHECKED, 0);
        EnableWindow(accounts, on);
        if (on) {
            SendMessageW(accounts, CB_SETCURSEL, static_cast<WPARAM>(record.resAccountIndex), 0);
        }
    }
}

void CopyPageToRecord(HWND window, SettingsRecord& record) {
    HWND connections = GetDlgItem(window, IDC_CONNECT_LIST);
    const LRESULT connection = SendMessageW(connections, CB_GETCURSEL, 0, 0);
    if (IsWindowEnabled(GetDlgItem(window, IDC_CONNECT_CHECK)) &&
        Checked(window, IDC_CONNECT_CHECK) && connection != CB_ERR) {
        record.connectName = DualString(ItemText(connections, connection));
    } else {
        record.connectName.Clear();
    }
    const LRESULT account = SendDlgItemMessageW(window, IDC_ACCOUNT_LIST, CB_GETCURSEL, 0, 0);
    if (IsWindowEnabled(GetDlgItem(window, IDC_ACCOUNT_CHECK)) &&
        Checked(window, IDC_ACCOUNT_CHECK) && account != CB_ERR) {
        record.resAccountIndex = static_cast<int32_t>(account);
    } else {
        record.resAccountIndex = -1;
    }
}

void OnMainPageCommand(HWND window, WORD id) {
    const int list = id == IDC_CONNECT_CHECK ? IDC_CONNECT_LIST : IDC_ACCOUNT_LIST;
    EnableWindow(GetDlgItem(window, list), Checked(window, id));
}

}  // namespace pelmora
