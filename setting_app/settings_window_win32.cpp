#include "setting_app/settings_window_win32.h"

#include "connections/routing_recovery_win32.h"
#include "platform/wide.h"
#include "setting_app/advanced_settings_win32.h"
#include "setting_app/main_page_win32.h"
#include "setting_app/resource.h"
#include "settings/settings_paths_win32.h"
#include "text/resource_string_win32.h"

namespace pelmora {

bool SettingsWindow::Create(HINSTANCE module, const DualString& className, const DualString& title,
                            int menuBar, int showCommand) {
    if (!FrameWindow::Create(module, className, title, menuBar, showCommand)) {
        return false;
    }
    BuildMainPage(instance, window, fonts_);
    record.moduleHandle = instance;
    DualString path;
    if (ProgramSettingsPath(instance, path)) {
        // A send/receive that was cut short may have left the routing switched: the
        // program's start puts it back.
        RecoverPendingRouting(path);
        LoadOrKeep(path);
    }
    // After a failed load the page shows the defaults.
    CopyRecordToPage(window, record);
    // The window was shortened above the menu bar without a repaint; draw it whole once,
    // with its page.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return true;
}

// A file that holds settings but cannot be read now (the extension reading it, say) is
// tried again for a moment; failing that, it is kept: "OK" never saves over it.
void SettingsWindow::LoadOrKeep(const DualString& path) {
    for (int attempt = 1;; ++attempt) {
        record.LoadSettings(path.c_str(), &keepFile_);
        if (!keepFile_ || attempt >= kLoadAttempts) {
            return;
        }
        Sleep(kLoadWaitMs);
    }
}

LRESULT SettingsWindow::OnCommand(WPARAM wParam, LPARAM) {
    switch (LOWORD(wParam)) {
        case IDC_CONNECT_CHECK:
        case IDC_ACCOUNT_CHECK:
            OnMainPageCommand(window, LOWORD(wParam));
            break;
        case IDM_OK:
            SaveAndClose();
            break;
        case IDM_ADVANCED:
            ShowAdvancedSettings(instance, window, record);
            break;
        case IDM_CANCEL:
            PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        default:
            break;
    }
    return 0;
}

// A failed save keeps the window open, so the user's choices are not lost, and says so once;
// so does a file that could not be read at start, which is left as it is.
void SettingsWindow::SaveAndClose() {
    DualString path;
    if (ProgramSettingsPath(instance, path)) {
        CopyPageToRecord(window, record);
        if (keepFile_ || !record.SaveSettings(path.c_str())) {
            DualString message;
            DualString caption;
            LoadResourceString(instance, IDS_SAVE_FAILED, message);
            LoadResourceString(instance, IDS_APP_TITLE, caption);
            MessageBoxW(window, W(message), W(caption), MB_OK | MB_ICONEXCLAMATION);
            return;
        }
    }
    PostMessageW(window, WM_CLOSE, 0, 0);
}

LRESULT SettingsWindow::OnClose(WPARAM, LPARAM) {
    CopyPageToRecord(window, record);
    return 0;
}

}  // namespace pelmora
