#include "reply/choice_dialog_win32.h"

#include "sdk/aygshell.h"

#include <new>

#include "accounts/account_catalogue.h"
#include "platform/handheld.h"
#include "platform/wide.h"

namespace pelmora {
namespace {

// One set for the whole library: the commands run one at a time on the Inbox's thread.
struct ChoiceDialogState {
    int listId = 0;
    WNDPROC listProc = nullptr;  // the list control's own procedure while the filter runs
    HINSTANCE module = nullptr;
    int32_t selection = -1;
    int templateId = 0;
    HWND owner = nullptr;
    std::vector<DualString> names;
};

ChoiceDialogState g_state;

// Enter released in the list confirms the choice: the dialog sees it, the list does not.
LRESULT CALLBACK ListFilter(HWND list, UINT msg, WPARAM wParam, LPARAM lParam) {
    // The list claims Enter from the dialog manager, which would otherwise turn its key-down
    // into the Done command and end the dialog even with no line selected.
    if (msg == WM_GETDLGCODE && lParam != 0) {
        const MSG* key = reinterpret_cast<const MSG*>(lParam);
        if ((key->message == WM_KEYDOWN || key->message == WM_CHAR) && key->wParam == VK_RETURN) {
            return CallWindowProcW(g_state.listProc, list, msg, wParam, lParam) | DLGC_WANTMESSAGE;
        }
    }
    if (msg == WM_KEYUP && wParam == VK_RETURN) {
        SendMessageW(GetParent(list), WM_KEYUP, wParam, lParam);
        return 0;
    }
    return CallWindowProcW(g_state.listProc, list, msg, wParam, lParam);
}

// Takes the list's selection into the state; no selection keeps the state's.
void TakeListSelection(HWND dialog) {
    HWND list = GetDlgItem(dialog, g_state.listId);
    if (list == nullptr) {
        return;
    }
    const LRESULT current = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (current != LB_ERR) {
        g_state.selection = static_cast<int32_t>(current);
    }
}

// False when the lines could not all be added: positions would then no longer match names.
bool InitChoiceDialog(HWND dialog) {
    SHINITDLGINFO info = {};
    info.dwMask = SHIDIM_FLAGS;
    info.hDlg = dialog;
    info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN | SHIDIF_EMPTYMENU;
    SHInitDialog(&info);

    HWND list = GetDlgItem(dialog, g_state.listId);
    if (list == nullptr) {
        return true;
    }
    RECT client;
    GetClientRect(dialog, &client);
    MoveWindow(list, client.left, client.top, client.right - client.left,
               client.bottom - client.top, TRUE);
    for (const DualString& name : g_state.names) {
        const DualString label = AccountDisplayLabel(name);
        const LRESULT added =
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(W(label)));
        if (added == LB_ERR || added == LB_ERRSPACE) {
            return false;
        }
    }
    if (g_state.selection >= 0 && !g_state.names.empty()) {
        SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(g_state.selection), 0);
    }
    g_state.listProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListFilter)));
    return true;
}

INT_PTR CALLBACK ChoiceDialogProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
    switch (msg) {
        case WM_INITDIALOG: {
            bool ready = false;
            try {
                ready = InitChoiceDialog(dialog);
            } catch (const std::bad_alloc&) {
            }
            if (!ready) {
                EndDialog(dialog, -1);
            }
            return TRUE;
        }
        case WM_COMMAND: {
            const bool done = LOWORD(wParam) == IDOK;
            const bool doubleClick =
                static_cast<int>(LOWORD(wParam)) == g_state.listId && HIWORD(wParam) == LBN_DBLCLK;
            if (!done && !doubleClick) {
                return FALSE;
            }
            TakeListSelection(dialog);
            EndDialog(dialog, g_state.selection >= 0 ? kChoiceMade : kChoiceNone);
            return TRUE;
        }
        case WM_KEYUP:
            if (wParam != VK_RETURN) {
                return FALSE;
            }
            TakeListSelection(dialog);
            if (g_state.selection < 0) {
                return FALSE;
            }
            EndDialog(dialog, kChoiceMade);
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, kChoiceClosed);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void ResetChoiceDialog() {
    g_state.listId = 0;
    g_state.listProc = nullptr;
    g_state.module = nullptr;
    g_state.selection = -1;
    g_state.templateId = 0;
    g_state.owner = nullptr;
    g_state.names.clear();
}

void ClearChoiceDialog() {
    g_state.names.clear();
}

int32_t ChoiceDialogSelection() {
    return g_state.selection;
}

INT_PTR ChooseFromList(HINSTANCE module, int templateId, int listId,
                       const std::vector<DualString>& names, int32_t initialSelection, HWND owner) {
    g_state.module = module;
    g_state.templateId = templateId;
    g_state.listId = listId;
    g_state.owner = owner;
    // A start position outside the list would be reported as chosen by Done untouched.
    const bool inList =
        initialSelection >= 0 && static_cast<size_t>(initialSelection) < names.size();
    g_state.selection = inList ? initialSelection : -1;
    try {
        g_state.names = names;
    } catch (const std::bad_alloc&) {
        g_state.names.clear();
        return -1;
    }

    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(templateId), RT_DIALOG);
    if (found == nullptr) {
        return -1;
    }
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) {
        return -1;
    }
    auto* dialogTemplate = static_cast<const DLGTEMPLATE*>(ResourceData(loaded));
    if (dialogTemplate == nullptr) {
        return -1;
    }
    return DialogBoxIndirectParamW(module, dialogTemplate, owner, ChoiceDialogProc, 0);
}

}  // namespace pelmora
