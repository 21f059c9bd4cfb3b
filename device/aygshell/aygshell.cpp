// The emulated device's shell helpers. A full-screen dialog gets the screen between the
// navigation bar and the menu bar; its Done button lives on the navigation bar, an owned
// popup across the top of the screen that shows the dialog's title, as on the handheld.
#include "sdk/aygshell.h"

#include "device/aygshell/device_screen.h"

namespace {

using namespace pelmora::device;

HINSTANCE g_module = nullptr;
const wchar_t kNavigationBarClass[] = L"DeviceNavigationBar";
const wchar_t kMenuBarClass[] = L"DeviceMenuBar";
bool g_classesRegistered = false;

constexpr COLORREF kNavigationBarColour = RGB(0, 40, 120);
constexpr COLORREF kNavigationTextColour = RGB(255, 255, 255);
constexpr int kDoneButtonWidth = 36;

HWND OwnerOf(HWND bar) {
    return GetWindow(bar, GW_OWNER);
}

void PaintNavigationBar(HWND bar) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(bar, &ps);
    if (dc == nullptr) {
        return;
    }
    RECT rc;
    GetClientRect(bar, &rc);
    HBRUSH brush = CreateSolidBrush(kNavigationBarColour);
    if (brush != nullptr) {
        FillRect(dc, &rc, brush);
        DeleteObject(brush);
    }
    // The owner's title, drawn with the owner's font.
    HWND owner = OwnerOf(bar);
    wchar_t title[128] = {};
    if (owner != nullptr) {
        GetWindowTextW(owner, title, static_cast<int>(sizeof title / sizeof title[0]));
    }
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0));
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kNavigationTextColour);
    rc.left += 6;
    rc.right -= kDoneButtonWidth + 4;
    DrawTextW(dc, title, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS);
    if (oldFont != nullptr) {
        SelectObject(dc, oldFont);
    }
    EndPaint(bar, &ps);
}

LRESULT CALLBACK NavigationBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
            // The Done button speaks for the dialog that owns the bar.
            if (HWND owner = OwnerOf(bar)) {
                return SendMessageW(owner, WM_COMMAND, wParam, lParam);
            }
            return 0;
        case WM_SETFONT:
            SetWindowLongPtrW(bar, 0, static_cast<LONG_PTR>(wParam));
            if (HWND done = GetDlgItem(bar, IDOK)) {
                SendMessageW(done, WM_SETFONT, wParam, lParam);
            }
            return 0;
        case WM_GETFONT:
            return GetWindowLongPtrW(bar, 0);
        case WM_PAINT:
            PaintNavigationBar(bar);
            return 0;
        default:
            return DefWindowProcW(bar, msg, wParam, lParam);
    }
}

LRESULT CALLBACK MenuBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        if (HWND owner = OwnerOf(bar)) {
            return SendMessageW(owner, WM_COMMAND, wParam, lParam);
        }
        return 0;
    }
    return DefWindowProcW(bar, msg, wParam, lParam);
}

bool RegisterBarClasses() {
    if (g_classesRegistered) {
        return true;
    }
    WNDCLASSW nav = {};
    nav.lpfnWndProc = NavigationBarProc;
    nav.cbWndExtra = sizeof(LONG_PTR);
    nav.hInstance = g_module;
    nav.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    nav.lpszClassName = kNavigationBarClass;
    WNDCLASSW menu = {};
    menu.lpfnWndProc = MenuBarProc;
    menu.hInstance = g_module;
    menu.hCursor = nav.hCursor;
    menu.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    menu.lpszClassName = kMenuBarClass;
    if (RegisterClassW(&nav) == 0) {
        return false;
    }
    if (RegisterClassW(&menu) == 0) {
        UnregisterClassW(kNavigationBarClass, g_module);
        return false;
    }
    g_classesRegistered = true;
    return true;
}

void UnregisterBarClasses() {
    if (g_classesRegistered) {
        UnregisterClassW(kNavigationBarClass, g_module);
        UnregisterClassW(kMenuBarClass, g_module);
        g_classesRegistered = false;
    }
}

// Owned popups go away with their owner, so the bars need no cleanup of their own.
HWND CreateBar(const wchar_t* cls, HWND owner, int top, int height) {
    return CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, cls, L"",
                           WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, top, kScreenWidth, height,
                           owner, nullptr, g_module, nullptr);
}

bool AddNavigationBar(HWND dialog) {
    HWND bar = CreateBar(kNavigationBarClass, dialog, 0, kNavigationBarHeight);
    if (bar == nullptr) {
        return false;
    }
    HWND done = CreateWindowExW(
        0, L"BUTTON", L"ok", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
        kScreenWidth - kDoneButtonWidth - 2, 2, kDoneButtonWidth, kNavigationBarHeight - 4, bar,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), g_module, nullptr);
    if (done == nullptr) {
        DestroyWindow(bar);
        return false;
    }
    SendMessageW(bar, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    return true;
}

}  // namespace

extern "C" {

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi) {
    if (pshidi == nullptr || !IsWindow(pshidi->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if ((pshidi->dwMask & SHIDIM_FLAGS) == 0) {
        return TRUE;
    }
    const DWORD flags = pshidi->dwFlags;
    HWND dialog = pshidi->hDlg;
    // The handheld draws no caption, frame or close box on a dialog: its title is on the
    // navigation bar.
    SetWindowLongPtrW(dialog, GWL_STYLE,
                      GetWindowLongPtrW(dialog, GWL_STYLE) &
                          ~static_cast<LONG_PTR>(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME));
    SetWindowLongPtrW(dialog, GWL_EXSTYLE,
                      GetWindowLongPtrW(dialog, GWL_EXSTYLE) &
                          ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE));
    SetWindowPos(dialog, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if ((flags & (SHIDIF_DONEBUTTON | SHIDIF_EMPTYMENU)) != 0 && !RegisterBarClasses()) {
        return FALSE;
    }
    if ((flags & SHIDIF_DONEBUTTON) != 0 && !AddNavigationBar(dialog)) {
        return FALSE;
    }
    if ((flags & SHIDIF_EMPTYMENU) != 0 &&
        CreateBar(kMenuBarClass, dialog, kScreenHeight - kMenuBarHeight, kMenuBarHeight) ==
            nullptr) {
        return FALSE;
    }
    if ((flags & SHIDIF_SIZEDLGFULLSCREEN) != 0) {
        // The emulated device has no input panel, so where it stands does not matter; the
        // menu bar's room is kept whether or not this dialog has one, as on the handheld.
        const int top = kNavigationBarHeight;
        const int bottom = kScreenHeight - kMenuBarHeight;
        SetWindowPos(dialog, nullptr, 0, top, kScreenWidth, bottom - top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // SHIDIF_SIPDOWN: there is no input panel to lower.
    return TRUE;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary: a later load must not find classes with stale procedures.
        UnregisterBarClasses();
    }
    return TRUE;
}
