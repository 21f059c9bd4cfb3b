// The emulated device's shell helpers. A full-screen dialog gets the screen between the
// navigation bar and the menu bar; its Done button lives on the navigation bar, an owned
// popup across the top of the screen that shows the dialog's title, as on the handheld.
#include "sdk/aygshell.h"

#include <commctrl.h>

#include <new>
#include <vector>

#include "device/aygshell/device_screen.h"
#include "platform/owners.h"
#include "device/aygshell/menu_bar_resource.h"

namespace {

using namespace pelmora::device;

HINSTANCE g_module = nullptr;
const wchar_t kNavigationBarClass[] = L"DeviceNavigationBar";
const wchar_t kMenuBarClass[] = L"DeviceMenuBar";
bool g_classesRegistered = false;

constexpr COLORREF kNavigationBarColour = RGB(0, 40, 120);
constexpr COLORREF kNavigationTextColour = RGB(255, 255, 255);
constexpr int kDoneButtonWidth = 36;  // on QVGA; VGA doubles every size

// The session's screen, read once: the DPI does not change while a program runs.
const ScreenGeometry& Screen() {
    static const ScreenGeometry screen = DeviceScreen();
    return screen;
}

HWND OwnerOf(HWND bar) {
    return GetWindow(bar, GW_OWNER);
}

// The shell's bold bar font, 12 pixels high on QVGA and twice that on VGA.
HFONT CreateSoftKeyFont() {
    LOGFONTW logical = {};
    logical.lfHeight = -12 * Screen().scale;
    logical.lfWeight = FW_BOLD;
    logical.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(logical.lfFaceName, L"ＭＳ Ｐゴシック", LF_FACESIZE);
    return CreateFontIndirectW(&logical);
}

// The title of a window without a font of its own is drawn in the shell's bar font (one for
// the process, as long as it runs).
HFONT ShellTitleFont() {
    static const HFONT font = CreateSoftKeyFont();
    return font;
}

void PaintNavigationBar(HWND bar) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(bar, &ps);
    if (dc == nullptr) {
        return;
    }
    RECT rc;
    GetClientRect(bar, &rc);
    const pelmora::GdiObject brush(CreateSolidBrush(kNavigationBarColour));
    if (brush) {
        FillRect(dc, &rc, static_cast<HBRUSH>(brush.Get()));
    }
    // The owner's title, drawn with the owner's font.
    HWND owner = OwnerOf(bar);
    wchar_t title[128] = {};
    if (owner != nullptr) {
        GetWindowTextW(owner, title, static_cast<int>(sizeof title / sizeof title[0]));
    }
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(bar, WM_GETFONT, 0, 0));
    if (font == nullptr) {
        font = ShellTitleFont();
    }
    HGDIOBJ oldFont = font != nullptr ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kNavigationTextColour);
    rc.left += 6;
    rc.right -= (kDoneButtonWidth + 4) * Screen().scale;
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

// A soft-key bar's state, kept in its window's extra bytes; bars without soft keys (the
// empty bar of a dialog) have none.
struct SoftKeyBar {
    MenuBarResource resource;
    HMENU menu = nullptr;
    HFONT font = nullptr;
    std::vector<HWND> keys;

    ~SoftKeyBar() {
        if (menu != nullptr) {
            DestroyMenu(menu);
        }
        if (font != nullptr) {
            DeleteObject(font);
        }
    }
};

SoftKeyBar* SoftKeysOf(HWND bar) {
    return reinterpret_cast<SoftKeyBar*>(GetWindowLongPtrW(bar, 0));
}

// A tap on soft key `index`: its command, or the command picked from its pop-up menu,
// which opens above the key.
void PressSoftKey(HWND bar, SoftKeyBar& keys, size_t index) {
    HWND owner = OwnerOf(bar);
    const MenuBarButton& button = keys.resource.buttons[index];
    UINT command = button.command;
    if (button.menuIndex != NOMENU) {
        HMENU popup = keys.menu != nullptr ? GetSubMenu(keys.menu, button.menuIndex) : nullptr;
        if (popup == nullptr) {
            return;
        }
        RECT key;
        GetWindowRect(keys.keys[index], &key);
        const bool right = key.left >= Screen().width / 2;
        command = static_cast<UINT>(TrackPopupMenuEx(
            popup, TPM_RETURNCMD | TPM_BOTTOMALIGN | (right ? TPM_RIGHTALIGN : TPM_LEFTALIGN),
            right ? key.right : key.left, key.top, bar, nullptr));
        if (command == 0) {
            return;  // dismissed
        }
    }
    if (owner != nullptr) {
        SendMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    }
}

LRESULT CALLBACK MenuBarProc(HWND bar, UINT msg, WPARAM wParam, LPARAM lParam) {
    SoftKeyBar* keys = SoftKeysOf(bar);
    switch (msg) {
        case WM_COMMAND:
            if (keys != nullptr) {
                for (size_t i = 0; i < keys->keys.size(); ++i) {
                    if (keys->keys[i] == reinterpret_cast<HWND>(lParam)) {
                        PressSoftKey(bar, *keys, i);
                        return 0;
                    }
                }
            }
            if (HWND owner = OwnerOf(bar)) {
                return SendMessageW(owner, WM_COMMAND, wParam, lParam);
            }
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(bar, 0, 0);
            delete keys;
            return DefWindowProcW(bar, msg, wParam, lParam);
        default:
            return DefWindowProcW(bar, msg, wParam, lParam);
    }
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
    menu.cbWndExtra = sizeof(LONG_PTR);
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
                           WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, top, Screen().width, height,
                           owner, nullptr, g_module, nullptr);
}

bool AddNavigationBar(HWND dialog) {
    const ScreenGeometry& screen = Screen();
    const int doneWidth = kDoneButtonWidth * screen.scale;
    HWND bar = CreateBar(kNavigationBarClass, dialog, 0, screen.navigationBarHeight);
    if (bar == nullptr) {
        return false;
    }
    HWND done = CreateWindowExW(
        0, L"BUTTON", L"ok", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, screen.width - doneWidth - 2, 2,
        doneWidth, screen.navigationBarHeight - 4, bar,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), g_module, nullptr);
    if (done == nullptr) {
        DestroyWindow(bar);
        return false;
    }
    SendMessageW(bar, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    return true;
}

// The handheld's shell shows a program's title in the navigation bar only: the window
// loses the desktop's caption and frame.
void DropDesktopCaption(HWND window) {
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const LONG_PTR framed = WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_MODALFRAME | WS_BORDER;
    SetWindowLongPtrW(window, GWL_STYLE, style & ~framed);
    const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
    SetWindowLongPtrW(window, GWL_EXSTYLE,
                      exStyle & ~static_cast<LONG_PTR>(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE |
                                                       WS_EX_CLIENTEDGE));
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// The navigation bar with its Done button and the empty menu bar that the flags ask for.
bool AddDialogBars(HWND dialog, DWORD flags) {
    if ((flags & (SHIDIF_DONEBUTTON | SHIDIF_EMPTYMENU)) == 0) {
        return true;
    }
    return RegisterBarClasses() && ((flags & SHIDIF_DONEBUTTON) == 0 || AddNavigationBar(dialog)) &&
           ((flags & SHIDIF_EMPTYMENU) == 0 ||
            CreateBar(kMenuBarClass, dialog, Screen().height - Screen().menuBarHeight,
                      Screen().menuBarHeight) != nullptr);
}

// A page of a property sheet: the bars go to the sheet, once for all its pages, and the page
// fills the sheet's page area above the tabs. Its controls stay where its template put them:
// the shell never moves a dialog's controls.
const wchar_t kSheetBarsProperty[] = L"DeviceSheetBars";

BOOL InitSheetPage(HWND page, DWORD flags) {
    HWND sheet = GetAncestor(page, GA_ROOT);
    if ((flags & (SHIDIF_DONEBUTTON | SHIDIF_EMPTYMENU)) != 0 &&
        GetPropW(sheet, kSheetBarsProperty) == nullptr) {
        if (!AddDialogBars(sheet, flags)) {
            return FALSE;
        }
        SetPropW(sheet, kSheetBarsProperty, reinterpret_cast<HANDLE>(1));
    }
    HWND parent = GetParent(page);
    HWND tabs = FindWindowExW(parent, nullptr, WC_TABCONTROLW, nullptr);
    if ((flags & SHIDIF_SIZEDLGFULLSCREEN) != 0 && tabs != nullptr) {
        RECT area;
        GetWindowRect(tabs, &area);
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
        SendMessageW(tabs, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
        SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

// Reads the bar's buttons and menu from `instance` and puts one soft key per button on
// the bar, left to right in equal shares of the screen's width.
bool AddSoftKeys(HWND bar, HINSTANCE instance, UINT resourceId) {
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(instance, found) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    SoftKeyBar* keys = new (std::nothrow) SoftKeyBar;
    if (keys == nullptr) {
        return false;
    }
    SetWindowLongPtrW(bar, 0, reinterpret_cast<LONG_PTR>(keys));  // freed with the bar
    if (bytes == nullptr ||
        !ParseMenuBarResource(static_cast<const unsigned char*>(bytes),
                              SizeofResource(instance, found), keys->resource)) {
        return false;
    }
    keys->menu = LoadMenuW(instance, MAKEINTRESOURCEW(keys->resource.menuId));
    keys->font = CreateSoftKeyFont();
    const int count = static_cast<int>(keys->resource.buttons.size());
    for (int i = 0; i < count; ++i) {
        const MenuBarButton& button = keys->resource.buttons[i];
        wchar_t label[64] = {};
        LoadStringW(instance, button.stringId, label, 64);
        const int left = Screen().width * i / count;
        const int right = Screen().width * (i + 1) / count;
        const DWORD state = (button.state & TBSTATE_ENABLED) != 0 ? 0 : WS_DISABLED;
        HWND key = CreateWindowExW(
            0, L"BUTTON", label, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT | state, left + 1,
            1, right - left - 2, Screen().menuBarHeight - 2, bar, nullptr, g_module, nullptr);
        if (key == nullptr) {
            return false;
        }
        if (keys->font != nullptr) {
            SendMessageW(key, WM_SETFONT, reinterpret_cast<WPARAM>(keys->font), FALSE);
        }
        keys->keys.push_back(key);
    }
    return true;
}

}  // namespace

extern "C" {

BOOL WINAPI SHCreateMenuBar(PSHMENUBARINFO pmbi) {
    if (pmbi == nullptr || pmbi->cbSize < sizeof(SHMENUBARINFO) || !IsWindow(pmbi->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pmbi->hwndMB = nullptr;
    if (!RegisterBarClasses()) {
        return FALSE;
    }
    HWND parent = pmbi->hwndParent;
    const ScreenGeometry& screen = Screen();
    HWND bar = CreateBar(kMenuBarClass, parent, screen.height - screen.menuBarHeight,
                         screen.menuBarHeight);
    if (bar == nullptr) {
        return FALSE;
    }
    if ((pmbi->dwFlags & SHCMBF_EMPTYBAR) == 0 &&
        !AddSoftKeys(bar, pmbi->hInstRes, pmbi->nToolBarId)) {
        DestroyWindow(bar);
        return FALSE;
    }
    // The bar only: placing and sizing its window above the bar is the program's work. A
    // top-level program window gets the shell's navigation bar, which shows its title.
    if ((GetWindowLongPtrW(parent, GWL_STYLE) & WS_CHILD) == 0 &&
        CreateBar(kNavigationBarClass, parent, 0, screen.navigationBarHeight) == nullptr) {
        DestroyWindow(bar);
        return FALSE;
    }
    pmbi->hwndMB = bar;
    return TRUE;
}

// The emulated device's extra controls are the desktop's own.
BOOL WINAPI SHInitExtraControls(void) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&controls);
}

// Remembers the focus across deactivation, as the handheld's shell does; there is no
// input panel to raise or lower.
BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM, SHACTIVATEINFO* psai, DWORD) {
    if (psai == nullptr || psai->cbSize < sizeof(SHACTIVATEINFO) || !IsWindow(hwnd)) {
        return FALSE;
    }
    const bool active = LOWORD(wParam) != WA_INACTIVE;
    if (active) {
        if (psai->hwndLastFocus != nullptr && IsChild(hwnd, psai->hwndLastFocus)) {
            SetFocus(psai->hwndLastFocus);
        }
    } else {
        HWND focus = GetFocus();
        psai->hwndLastFocus = focus != nullptr && IsChild(hwnd, focus) ? focus : nullptr;
    }
    psai->fActive = active ? 1 : 0;
    return TRUE;
}

BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM, LPARAM, SHACTIVATEINFO* psai) {
    return psai != nullptr && psai->cbSize >= sizeof(SHACTIVATEINFO) && IsWindow(hwnd);
}

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
    if ((GetWindowLongPtrW(dialog, GWL_STYLE) & WS_CHILD) != 0) {
        return InitSheetPage(dialog, flags);
    }
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
    if (!AddDialogBars(dialog, flags)) {
        return FALSE;
    }
    if ((flags & SHIDIF_SIZEDLGFULLSCREEN) != 0) {
        DropDesktopCaption(dialog);
        // The emulated device has no input panel, so where it stands does not matter; the
        // menu bar's room is kept whether or not this dialog has one, as on the handheld.
        const ScreenGeometry& screen = Screen();
        const int top = screen.navigationBarHeight;
        const int bottom = screen.height - screen.menuBarHeight;
        SetWindowPos(dialog, nullptr, 0, top, screen.width, bottom - top,
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
        // The shell's work area: the screen below its navigation bar. The desktop's covers
        // its whole display, of which the handheld's screen is the top left corner.
        const ScreenGeometry& screen = Screen();
        RECT work = {0, screen.navigationBarHeight, screen.width, screen.height};
        SystemParametersInfoW(SPI_SETWORKAREA, 0, &work, 0);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded by FreeLibrary: a later load must not find classes with stale procedures.
        UnregisterBarClasses();
    }
    return TRUE;
}
