// The contact chooser of the emulated device: a full-screen list of the profile's contacts,
// each with its name over its e-mail address; a tap selects, a double tap or OK chooses,
// "キャンセル" gives up. PELMORA_DEVICE_CONTACT_PICK names the contact that a script picks
// (an unknown name cancels), PELMORA_DEVICE_CONTACT_PAUSE how many milliseconds the chooser
// stays on screen first.
#include "sdk/aygshell.h"
#include "sdk/pimstore.h"

#include <new>
#include <string>

#include "device/pimstore/pimstore_ids.h"
#include "device/pimstore/pimstore_win32.h"
#include "platform/wide.h"

namespace pelmora::device {

namespace {

constexpr UINT_PTR kScriptTimer = 1;
constexpr COLORREF kAddressColour = RGB(96, 96, 96);

struct Chooser {
    const std::vector<ContactEntry>* contacts;
    LPCWSTR title;
    std::u16string scriptedPick;
    bool scripted = false;
};

std::u16string Env(const wchar_t* name, bool& set) {
    wchar_t buffer[256];
    const DWORD n = GetEnvironmentVariableW(name, buffer, 256);
    set = n > 0 && n < 256;
    return set ? std::u16string(U(buffer), n) : std::u16string();
}

void Choose(HWND dialog) {
    const LRESULT line = SendDlgItemMessageW(dialog, IDC_CONTACT_LIST, LB_GETCURSEL, 0, 0);
    EndDialog(dialog, line == LB_ERR ? 0 : static_cast<INT_PTR>(line) + 1);
}

void Layout(HWND dialog) {
    RECT rc;
    GetClientRect(dialog, &rc);
    HWND cancel = GetDlgItem(dialog, IDCANCEL);
    RECT button;
    GetWindowRect(cancel, &button);
    const int height = button.bottom - button.top;
    MoveWindow(GetDlgItem(dialog, IDC_CONTACT_LIST), 0, 0, rc.right, rc.bottom - height - 4, TRUE);
    MoveWindow(cancel, 2, rc.bottom - height - 2, button.right - button.left, height, TRUE);
}

void DrawContact(const Chooser& chooser, const DRAWITEMSTRUCT& item) {
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= chooser.contacts->size()) {
        return;
    }
    const ContactEntry& contact = (*chooser.contacts)[item.itemID];
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    SetBkMode(item.hDC, TRANSPARENT);
    RECT rc = item.rcItem;
    rc.left += 4;
    const int half = (rc.bottom - rc.top) / 2;
    RECT nameRect = {rc.left, rc.top + 1, rc.right - 2, rc.top + half};
    SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextW(item.hDC, W(contact.name.c_str()), -1, &nameRect,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
    RECT addressRect = {rc.left + 8, rc.top + half, rc.right - 2, rc.bottom - 1};
    SetTextColor(item.hDC, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : kAddressColour);
    const std::u16string address = contact.address ? *contact.address : std::u16string();
    DrawTextW(item.hDC, W(address.c_str()), -1, &addressRect,
              DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
}

INT_PTR CALLBACK ChooserProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* chooser = reinterpret_cast<Chooser*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            chooser = reinterpret_cast<Chooser*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            if (chooser->title != nullptr) {
                SetWindowTextW(dialog, chooser->title);
            }
            SHINITDLGINFO init = {
                SHIDIM_FLAGS, dialog,
                SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU};
            SHInitDialog(&init);
            Layout(dialog);
            HWND list = GetDlgItem(dialog, IDC_CONTACT_LIST);
            int pick = -1;
            for (size_t i = 0; i < chooser->contacts->size(); ++i) {
                const ContactEntry& contact = (*chooser->contacts)[i];
                SendMessageW(list, LB_ADDSTRING, 0,
                             reinterpret_cast<LPARAM>(W(contact.name.c_str())));
                if (chooser->scripted && pick < 0 && contact.name == chooser->scriptedPick) {
                    pick = static_cast<int>(i);
                }
            }
            SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(pick < 0 ? 0 : pick), 0);
            if (chooser->scripted) {
                bool set = false;
                const std::u16string pause = Env(L"PELMORA_DEVICE_CONTACT_PAUSE", set);
                SetTimer(dialog, kScriptTimer, set ? static_cast<UINT>(_wtoi(W(pause.c_str()))) : 0,
                         nullptr);
                if (pick < 0) {
                    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
                }
            }
            return TRUE;
        }
        case WM_TIMER:
            if (wParam == kScriptTimer) {
                KillTimer(dialog, kScriptTimer);
                Choose(dialog);
            }
            return TRUE;
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            TEXTMETRICW metrics = {};
            HDC dc = GetDC(dialog);
            HGDIOBJ old =
                SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(dialog, WM_GETFONT, 0, 0)));
            GetTextMetricsW(dc, &metrics);
            SelectObject(dc, old);
            ReleaseDC(dialog, dc);
            measure->itemHeight = static_cast<UINT>(metrics.tmHeight * 2 + 6);
            return TRUE;
        }
        case WM_DRAWITEM:
            if (chooser != nullptr) {
                DrawContact(*chooser, *reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            }
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:
                    Choose(dialog);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, 0);
                    return TRUE;
                case IDC_CONTACT_LIST:
                    if (HIWORD(wParam) == LBN_DBLCLK) {
                        Choose(dialog);
                    }
                    return TRUE;
                default:
                    return FALSE;
            }
        default:
            return FALSE;
    }
}

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ChooserProc), &module);
    return module;
}

}  // namespace

}  // namespace pelmora::device

using namespace pelmora;
using namespace pelmora::device;

namespace {

HRESULT RunChooser(LPCHOOSECONTACT lpcc) {
    lpcc->bstrContactName = nullptr;
    lpcc->bstrPropertyValueSelected = nullptr;
    const ContactsProfile profile = ReadContactsProfile();
    if (profile.faults.contactsChoose.set) {
        return profile.faults.contactsChoose.status;
    }
    Chooser chooser{&profile.contacts, lpcc->lpstrTitle, {}, false};
    chooser.scriptedPick = Env(L"PELMORA_DEVICE_CONTACT_PICK", chooser.scripted);
    const INT_PTR chosen =
        DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(IDD_CONTACT_CHOOSER), lpcc->hwndOwner,
                        ChooserProc, reinterpret_cast<LPARAM>(&chooser));
    if (chosen <= 0 || static_cast<size_t>(chosen) > profile.contacts.size()) {
        return chosen < 0 ? HRESULT_FROM_WIN32(GetLastError()) : E_ABORT;
    }
    const ContactEntry& contact = profile.contacts[static_cast<size_t>(chosen) - 1];
    lpcc->oidContactID = static_cast<CEOID>(chosen);
    // The chooser answers with the property the value came from, never with a group such as
    // "all e-mail addresses"; a profile contact's one address is its first e-mail address.
    const CEPROPID asked =
        lpcc->cRequiredProperties > 0 && lpcc->rgpropidRequiredProperties != nullptr
            ? lpcc->rgpropidRequiredProperties[0]
            : 0;
    lpcc->propidSelected = asked == PIMPR_ALL_EMAIL ? PIMPR_EMAIL1_ADDRESS : asked;
    if ((lpcc->dwFlags & CCF_RETURNCONTACTNAME) != 0) {
        lpcc->bstrContactName = AllocCountedString(contact.name);
    }
    // A contact without an address is chosen all the same; the caller gets no value.
    if ((lpcc->dwFlags & CCF_RETURNPROPERTYVALUE) != 0 && contact.address) {
        lpcc->bstrPropertyValueSelected = AllocCountedString(*contact.address);
    }
    return S_OK;
}

}  // namespace

extern "C" HRESULT WINAPI ChooseContact(LPCHOOSECONTACT lpcc) {
    if (lpcc == nullptr || lpcc->cbSize != sizeof(CHOOSECONTACT)) {
        return E_INVALIDARG;
    }
    try {
        return RunChooser(lpcc);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
