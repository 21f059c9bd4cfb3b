#include "setting_app/advanced_settings_win32.h"

#include <commctrl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "platform/wide.h"
#include "sdk/aygshell.h"
#include "sdk/prsht_device.h"
#include "setting_app/contact_pick.h"
#include "setting_app/contact_pick_win32.h"
#include "setting_app/quote_fields.h"
#include "setting_app/resource.h"

namespace pelmora {

namespace {

constexpr size_t kPageTextSize = 1024;
constexpr size_t kBrowseTextSize = 256;
// The library version the sheet is written for, answered to the sheet's version query.
constexpr int kSheetVersion = 526;
// Done button, full-screen dialog, input panel down, empty menu bar.
constexpr DWORD kPageDialogFlags =
    SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU;
static_assert(kPageDialogFlags == 45);
constexpr DWORD kSheetFlags = PSH_NOAPPLYNOW | PSH_USECALLBACK | PSH_MAXIMIZE;
static_assert(kSheetFlags == 0x2180);

// The first version of both structures, which is what the handheld's library knows: they
// end with the page's reference count and the sheet's callback.
constexpr UINT kPageSize =
    offsetof(PROPSHEETPAGEW, pcRefParent) + sizeof(PROPSHEETPAGEW::pcRefParent);
constexpr UINT kHeaderSize =
    offsetof(PROPSHEETHEADERW, pfnCallback) + sizeof(PROPSHEETHEADERW::pfnCallback);
#if !defined(_WIN64)
static_assert(kPageSize == 40, "the handheld's page structure");
static_assert(kHeaderSize == 40, "the handheld's sheet header");
#else
static_assert(kPageSize == 72 && kHeaderSize == 72, "the natural layout");
#endif

// Which page object a page dialog belongs to: the dialog carries it as a window property
// under the binding's name. A binding goes when its dialog is destroyed, so a later dialog
// that gets the same window handle finds its own page, never an earlier one's.
struct Binding {
    HWND dialog;
    std::u16string name;  // not wchar_t: the runtime's prebuilt wchar_t string is large
};
std::vector<Binding> g_bindings;
int g_bindingsMade = 0;

ReplyPage g_replyPage;
QuotePage g_quotePage;
SignaturePage g_signaturePage;

bool Bind(HWND dialog, SettingsPage* page) {
    wchar_t name[32] = {};
    wsprintfW(name, L"PPage_%d", g_bindingsMade);
    try {
        g_bindings.push_back({dialog, U(name)});
    } catch (...) {
        return false;
    }
    if (!SetPropW(dialog, name, page)) {
        g_bindings.pop_back();
        return false;
    }
    ++g_bindingsMade;
    return true;
}

std::vector<Binding>::iterator FindBinding(HWND dialog) {
    auto it = g_bindings.begin();
    while (it != g_bindings.end() && it->dialog != dialog) {
        ++it;
    }
    return it;
}

SettingsPage* BoundPage(HWND dialog) {
    auto it = FindBinding(dialog);
    return it != g_bindings.end()
               ? static_cast<SettingsPage*>(GetPropW(dialog, W(it->name.c_str())))
               : nullptr;
}

void Unbind(HWND dialog) {
    auto it = FindBinding(dialog);
    if (it != g_bindings.end()) {
        RemovePropW(dialog, W(it->name.c_str()));
        g_bindings.erase(it);
    }
}

INT_PTR CALLBACK PageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* sheetPage = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        auto* page = reinterpret_cast<SettingsPage*>(sheetPage->lParam);
        if (!Bind(dialog, page)) {
            return TRUE;
        }
        SHINITDLGINFO init = {SHIDIM_FLAGS, dialog, kPageDialogFlags};
        SHInitDialog(&init);
        page->Exchange(dialog, false);
        page->OnInit(dialog, wParam, lParam);
        return TRUE;
    }
    SettingsPage* page = BoundPage(dialog);
    if (page == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_NOTIFY:
            switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
                case PSN_SETACTIVE:
                    return page->OnSetActive();
                case PSN_KILLACTIVE:
                    return page->OnKillActive();
                case PSN_APPLY:
                    return page->OnApply(dialog);
                case PSN_RESET:
                    return page->OnReset();
                default:
                    return FALSE;
            }
        case WM_COMMAND:
            return page->OnCommand(dialog, wParam, lParam);
        case WM_DESTROY:
            Unbind(dialog);
            return FALSE;
        default:
            return FALSE;
    }
}

int CALLBACK SheetCallback(HWND, UINT message, LPARAM) {
    return message == PSCB_GETVERSION ? kSheetVersion : 0;
}

bool Checked(HWND dialog, int id) {
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Check(HWND dialog, int id, bool on) {
    SendDlgItemMessageW(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Enable(HWND dialog, int id, bool on) {
    EnableWindow(GetDlgItem(dialog, id), on ? TRUE : FALSE);
}

DualString PageText(HWND dialog, int id) {
    DualString text;
    ReadDialogText(dialog, id, text, kPageTextSize);
    return text;
}

// Adds a chosen contact's address to the box; a failed or cancelled choice, or a contact
// without an address, leaves the box as it was.
void BrowseContact(HWND dialog, int box) {
    DualString address;
    if (PickContactAddress(address) != kContactPicked) {
        return;
    }
    DualString current;
    ReadDialogText(dialog, box, current, kBrowseTextSize);
    DualString result;
    if (AppendContactAddress(current, address, result)) {
        SetDlgItemTextW(dialog, box, W(result));
    }
}

}  // namespace

void ReadDialogText(HWND dialog, int id, DualString& text, size_t size) {
    for (;;) {
        char16_t* buffer = text.GetBuffer(size + 1);
        if (buffer == nullptr) {
            text.Clear();
            return;
        }
        const UINT length = GetDlgItemTextW(dialog, id, W(buffer), static_cast<int>(size + 1));
        text.ReleaseBuffer(static_cast<long>(length));
        if (length < size) {
            return;
        }
        size *= 2;
    }
}

// ---- The base page. ----

bool SettingsPage::Exchange(HWND, bool) {
    return true;
}

int SettingsPage::DialogId() {
    return 0;
}

INT_PTR SettingsPage::OnInit(HWND, WPARAM, LPARAM) {
    return 0;
}

INT_PTR SettingsPage::OnCommand(HWND dialog, WPARAM wParam, LPARAM) {
    const WORD id = LOWORD(wParam);
    if (id == IDOK || id == IDCANCEL) {
        PostMessageW(GetParent(dialog), PSM_PRESSBUTTON, id == IDOK ? PSBTN_OK : PSBTN_CANCEL, 0);
    }
    return 0;
}

INT_PTR SettingsPage::OnSetActive() {
    return 0;
}

INT_PTR SettingsPage::OnKillActive() {
    return 0;
}

INT_PTR SettingsPage::OnApply(HWND dialog) {
    Exchange(dialog, true);
    return 0;
}

INT_PTR SettingsPage::OnReset() {
    return 0;
}

// ---- Reply. ----

bool ReplyPage::Exchange(HWND dialog, bool save) {
    if (save) {
        record->cc = PageText(dialog, IDC_CC);
        record->bcc = PageText(dialog, IDC_BCC);
        record->prioFrom = Checked(dialog, IDC_PRIO_FROM);
        record->resAll = Checked(dialog, IDC_RES_ALL);
        record->resAllCc = Checked(dialog, IDC_RES_ALL_CC);
        return true;
    }
    SetDlgItemTextW(dialog, IDC_CC, W(record->cc));
    SetDlgItemTextW(dialog, IDC_BCC, W(record->bcc));
    Check(dialog, IDC_PRIO_FROM, record->prioFrom);
    Check(dialog, IDC_RES_ALL, record->resAll);
    Enable(dialog, IDC_RES_ALL_CC, record->resAll);
    Check(dialog, IDC_RES_ALL_CC, record->resAllCc);
    return true;
}

int ReplyPage::DialogId() {
    return IDD_REPLY_PAGE;
}

INT_PTR ReplyPage::OnInit(HWND, WPARAM, LPARAM) {
    return 1;
}

INT_PTR ReplyPage::OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDC_CC_BROWSE:
            BrowseContact(dialog, IDC_CC);
            break;
        case IDC_BCC_BROWSE:
            BrowseContact(dialog, IDC_BCC);
            break;
        case IDC_RES_ALL:
            // "全てCcに入れる" keeps its check while disabled.
            Enable(dialog, IDC_RES_ALL_CC, Checked(dialog, IDC_RES_ALL));
            break;
        default:
            break;
    }
    return SettingsPage::OnCommand(dialog, wParam, lParam);
}

// ---- Quote. ----

bool QuotePage::Exchange(HWND dialog, bool save) {
    if (save) {
        QuoteControls controls;
        controls.quote = Checked(dialog, IDC_QUOTE_CHECK);
        if (controls.quote) {
            controls.prefix = PageText(dialog, IDC_QUOTE_STRING);
        }
        StoreQuoteControls(controls, *record);
        return true;
    }
    const QuoteControls controls = QuoteControlsFor(*record);
    Check(dialog, IDC_QUOTE_CHECK, controls.quote);
    Enable(dialog, IDC_QUOTE_STRING, controls.prefixEnabled);
    if (controls.prefixEnabled) {
        SetDlgItemTextW(dialog, IDC_QUOTE_STRING, W(controls.prefix));
    }
    return true;
}

int QuotePage::DialogId() {
    return IDD_QUOTE_PAGE;
}

INT_PTR QuotePage::OnInit(HWND dialog, WPARAM, LPARAM) {
    Enable(dialog, IDC_QUOTE_STRING, Checked(dialog, IDC_QUOTE_CHECK));
    return 1;
}

INT_PTR QuotePage::OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_QUOTE_CHECK) {
        Enable(dialog, IDC_QUOTE_STRING, Checked(dialog, IDC_QUOTE_CHECK));
        return 0;
    }
    return SettingsPage::OnCommand(dialog, wParam, lParam);
}

// ---- Signature. ----

bool SignaturePage::Exchange(HWND dialog, bool save) {
    if (save) {
        record->signature = PageText(dialog, IDC_SIGNATURE);
    } else if (!record->signature.Empty()) {
        SetDlgItemTextW(dialog, IDC_SIGNATURE, W(record->signature));
    }
    return true;
}

int SignaturePage::DialogId() {
    return IDD_SIGNATURE_PAGE;
}

INT_PTR SignaturePage::OnInit(HWND, WPARAM, LPARAM) {
    return 1;
}

INT_PTR SignaturePage::OnCommand(HWND dialog, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_SIGNATURE) {
        return 0;
    }
    return SettingsPage::OnCommand(dialog, wParam, lParam);
}

// ---- The sheet. ----

int ShowAdvancedSettings(HINSTANCE module, HWND owner, SettingsRecord& record) {
    SettingsPage* const pages[] = {&g_replyPage, &g_quotePage, &g_signaturePage};
    HPROPSHEETPAGE handles[3] = {};
    int created = 0;
    for (int i = 0; i < 3; ++i) {
        pages[i]->position = i;
        pages[i]->record = &record;
        pages[i]->module = module;
        PROPSHEETPAGEW page = {};
        page.dwSize = kPageSize;
        page.dwFlags = 0;
        page.hInstance = module;
        page.pszTemplate = MAKEINTRESOURCEW(pages[i]->DialogId());
        page.pfnDlgProc = PageDialogProc;
        page.lParam = reinterpret_cast<LPARAM>(pages[i]);
        handles[i] = CreatePropertySheetPageW(&page);
        if (handles[i] != nullptr) {
            ++created;
        }
    }
    if (created != 3) {
        // The sheet shows all three pages or none; pages not handed to it are freed here.
        for (HPROPSHEETPAGE handle : handles) {
            if (handle != nullptr) {
                DestroyPropertySheetPage(handle);
            }
        }
        return 2;
    }
    PROPSHEETHEADERW header = {};
    header.dwSize = kHeaderSize;
    header.dwFlags = kSheetFlags;
    header.hwndParent = owner;
    header.hInstance = module;
    header.pszCaption = L"詳細設定";
    header.nPages = 3;
    header.nStartPage = 0;
    header.phpage = handles;
    header.pfnCallback = SheetCallback;
    return PropertySheetW(&header) < 0 ? 2 : 1;
}

}  // namespace pelmora
